// Attachment and multi-value columns in the catalogue model: their type
// codes, the flat tables behind them and the child tables shown for them;
// and the version histories of append-only memos, shown as child tables.

#include <algorithm>

#include "source/access_data.h"
#include "source/jet/catalogue.h"
#include "source/source_error.h"
#include "source/version_history.h"

namespace bracken::source {

namespace {

constexpr const char* kTemplatePrefix = "MSysComplexType_";
// The element templates of multi-value columns, in the order of their codes.
constexpr const char* kElementTemplates[] = {"UnsignedByte", "Short", "Long",    "IEEESingle",
                                             "IEEEDouble",   "GUID",  "Decimal", "Text"};
constexpr const char* kAttachmentColumns[] = {"FileName", "FileType",      "FileData",
                                              "FileURL",  "FileTimeStamp", "FileFlags"};

const jet::CatalogueObject* ObjectWithId(const jet::Database& database, int32_t id) {
  for (const auto& object : database.objects) {
    if (object.id == id) return &object;
  }
  return nullptr;
}

// The code a template table stands for; 0 for one that is no user column.
int32_t TemplateCode(const std::string& name) {
  if (name.rfind(kTemplatePrefix, 0) != 0) return 0;
  std::string kind = name.substr(std::char_traits<char>::length(kTemplatePrefix));
  if (kind == "Attachment") return adAttachment;
  for (size_t i = 0; i < std::size(kElementTemplates); ++i) {
    if (kind == kElementTemplates[i]) return adMultiValueByte + static_cast<int32_t>(i);
  }
  return 0;
}

int FlatColumn(const jet::TableDefinition& flat, std::string_view name) {
  for (size_t i = 0; i < flat.columns.size(); ++i) {
    if (NameEqual(flat.columns[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

// The flat table's set number: its Long column that is not the elements'
// own counter and not an element value.
size_t SetNumberColumn(const jet::TableDefinition& flat, const ComplexColumnData& complex) {
  for (size_t i = 0; i < flat.columns.size(); ++i) {
    const jet::ColumnDefinition& column = flat.columns[i];
    bool item = std::any_of(complex.items.begin(), complex.items.end(),
                            [&](const auto& entry) { return entry.second == i; });
    if (column.kind == jet::ColumnKind::Long && !column.AutoLong() && !item) return i;
  }
  ThrowDamaged("the flat table of a complex column has no set number");
}

Properties PlainProperties(bool nullable) {
  return Properties({Property("Autoincrement", Variant::Boolean(false)),
                     Property("Nullable", Variant::Boolean(nullable)),
                     Property("Fixed Length", Variant::Boolean(false)),
                     Property("Jet OLEDB:AutoGenerate", Variant::Boolean(false)),
                     Property("Jet OLEDB:Hyperlink", Variant::Boolean(false))});
}

}  // namespace

bool ResolveComplexColumn(const jet::Database& database, const jet::ColumnDefinition& column,
                          ColumnData& data) {
  auto entry = std::find_if(
      database.complexColumns.begin(), database.complexColumns.end(),
      [&](const auto& e) { return static_cast<uint32_t>(e.complexId) == column.complexId; });
  if (entry == database.complexColumns.end()) {
    ThrowDamaged("a complex column has no entry in MSysComplexColumns");
  }
  const jet::CatalogueObject* flatObject = ObjectWithId(database, entry->flatTableId);
  const jet::CatalogueObject* typeObject = ObjectWithId(database, entry->typeObjectId);
  if (flatObject == nullptr || typeObject == nullptr) {
    ThrowDamaged("a complex column names a table that does not exist");
  }
  int32_t code = TemplateCode(typeObject->name);
  if (code == 0) return false;
  auto complex = std::make_shared<ComplexColumnData>();
  complex->flat = jet::ReadTableDefinition(*database.file, database.header.format,
                                           database.header.codePage, flatObject->DefinitionPage());
  complex->attachment = code == adAttachment;
  if (complex->attachment) {
    for (const char* name : kAttachmentColumns) {
      int found = FlatColumn(*complex->flat, name);
      if (found >= 0) complex->items.emplace_back(name, static_cast<size_t>(found));
    }
  } else {
    int found = FlatColumn(*complex->flat, "Value");
    if (found < 0) ThrowDamaged("the flat table of a multi-value column has no Value column");
    complex->items.emplace_back("Value", static_cast<size_t>(found));
  }
  complex->setPosition = SetNumberColumn(*complex->flat, *complex);
  data.type = code;
  data.definedSize = 4;
  data.complex = std::move(complex);
  return true;
}

std::shared_ptr<TableData> MakeChildTable(const TableData& parent, const ColumnData& column) {
  const ComplexColumnData& complex = *column.complex;
  auto child = std::make_shared<TableData>();
  child->name = parent.name + "_" + column.name;
  child->type = "CHILD TABLE";
  child->definition = complex.flat;
  child->properties = Properties({Property("ParentTable", Variant::Text(parent.name)),
                                  Property("ParentColumn", Variant::Text(column.name))});

  auto set = std::make_shared<ColumnData>();
  set->name = column.name;
  set->type = adInteger;
  set->definedSize = 4;
  set->precision = 10;
  set->position = complex.setPosition;
  set->properties = PlainProperties(false);
  child->columnsInOrder.push_back(set);
  for (const auto& [name, position] : complex.items) {
    const jet::ColumnDefinition& flatColumn = complex.flat->columns[position];
    auto item = std::make_shared<ColumnData>();
    item->name = name;
    item->type = jet::AdoTypeCode(flatColumn.kind, flatColumn.FixedLength());
    item->definedSize = flatColumn.kind == jet::ColumnKind::Text ? flatColumn.length / 2
                        : jet::IsLongValue(flatColumn.kind)      ? 0
                                                                 : flatColumn.length;
    item->precision = flatColumn.kind == jet::ColumnKind::Decimal ? flatColumn.precision : 0;
    item->scale = flatColumn.kind == jet::ColumnKind::Decimal ? flatColumn.scale : 0;
    item->position = position;
    item->attachmentFile = complex.attachment && name == "FileData";
    item->properties = PlainProperties(true);
    child->columnsInOrder.push_back(item);
  }
  for (const auto& data : child->columnsInOrder) child->columnsByName.emplace_back(data);
  std::stable_sort(child->columnsByName.begin(), child->columnsByName.end(),
                   [](const Column& a, const Column& b) { return NameLess(a.Name(), b.Name()); });
  auto index = std::make_shared<IndexData>();
  index->name = column.name;
  index->columns.emplace_back(set);
  child->indexes.emplace_back(std::move(index));
  return child;
}

namespace {

constexpr const char* kHistorySuffix = "_history";
constexpr const char* kModifiedName = "Modified";
constexpr const char* kPositionName = "ParentRow";

// The flat table's column of a kind; -1 when it has none or more than one.
int OnlyColumnOfKind(const jet::TableDefinition& flat, jet::ColumnKind kind) {
  int found = -1;
  for (size_t i = 0; i < flat.columns.size(); ++i) {
    if (flat.columns[i].kind != kind) continue;
    if (found >= 0) return -1;
    found = static_cast<int>(i);
  }
  return found;
}

// The flat table of a hidden complex column when it is a version history:
// one memo (named like the memo it keeps) and one date.
std::shared_ptr<ComplexColumnData> ResolveHistory(const jet::Database& database,
                                                  const jet::ColumnDefinition& column) {
  auto entry = std::find_if(
      database.complexColumns.begin(), database.complexColumns.end(),
      [&](const auto& e) { return static_cast<uint32_t>(e.complexId) == column.complexId; });
  if (entry == database.complexColumns.end()) return nullptr;
  const jet::CatalogueObject* flatObject = ObjectWithId(database, entry->flatTableId);
  if (flatObject == nullptr) return nullptr;
  auto complex = std::make_shared<ComplexColumnData>();
  complex->flat = jet::ReadTableDefinition(*database.file, database.header.format,
                                           database.header.codePage, flatObject->DefinitionPage());
  int date = OnlyColumnOfKind(*complex->flat, jet::ColumnKind::DateTime);
  int text = OnlyColumnOfKind(*complex->flat, jet::ColumnKind::Memo);
  if (date < 0 || text < 0) return nullptr;
  complex->items.emplace_back(kModifiedName, static_cast<size_t>(date));
  complex->items.emplace_back(complex->flat->columns[static_cast<size_t>(text)].name,
                              static_cast<size_t>(text));
  complex->setPosition = SetNumberColumn(*complex->flat, *complex);
  return complex;
}

std::shared_ptr<ColumnData> LongColumn(const std::string& name, size_t position, bool nullable) {
  auto column = std::make_shared<ColumnData>();
  column->name = name;
  column->type = adInteger;
  column->definedSize = 4;
  column->precision = 10;
  column->position = position;
  column->properties = PlainProperties(nullable);
  return column;
}

// The columns that name a row of the table: its primary key, else the first
// unique index whose columns are all required; none when it has neither.
std::vector<std::shared_ptr<const ColumnData>> RowKey(const TableData& table) {
  auto columnsOf = [&](const Index& index) {
    std::vector<std::shared_ptr<const ColumnData>> key;
    Columns columns = index.Columns();
    for (long k = 0; k < columns.Count(); ++k) {
      auto found = std::find_if(
          table.columnsInOrder.begin(), table.columnsInOrder.end(),
          [&](const auto& column) { return NameEqual(column->name, columns.Item(k).Name()); });
      if (found == table.columnsInOrder.end()) return decltype(key){};
      key.push_back(*found);
    }
    return key;
  };
  for (const Index& index : table.indexes) {
    if (index.PrimaryKey()) return columnsOf(index);
  }
  for (const Index& index : table.indexes) {
    if (!index.Unique()) continue;
    auto key = columnsOf(index);
    bool required = !key.empty() && std::all_of(key.begin(), key.end(), [](const auto& column) {
      return !column->properties.Item("Nullable").Value().ToBool();
    });
    if (required) return key;
  }
  return {};
}

// `name`, or "name_2", "name_3", ... when one of `taken` already has it.
std::string FreeName(const std::string& name, const std::vector<std::string>& taken) {
  std::string candidate = name;
  for (int n = 2; std::any_of(taken.begin(), taken.end(),
                              [&](const std::string& t) { return NameEqual(t, candidate); });
       ++n) {
    candidate = name + "_" + std::to_string(n);
  }
  return candidate;
}

std::shared_ptr<TableData> MakeHistoryTable(const TableData& parent, size_t historyPosition,
                                            const ComplexColumnData& complex) {
  const std::string& memo = complex.items[1].first;
  auto history = std::make_shared<VersionHistoryData>();
  history->parentTable = parent.name;

  // The parent's rows: the key columns, then the set number.
  auto parentRows = std::make_shared<TableData>();
  parentRows->name = parent.name;
  parentRows->type = parent.type;
  parentRows->definition = parent.definition;
  parentRows->columnsInOrder = RowKey(parent);
  history->keyCount = parentRows->columnsInOrder.size();
  history->keyedByPosition = history->keyCount == 0;
  parentRows->columnsInOrder.push_back(LongColumn(memo, historyPosition, true));
  history->parentRows = parentRows;

  // The versions: the set number, the date, the text.
  auto versionRows = std::make_shared<TableData>();
  versionRows->name = parent.name;
  versionRows->type = "CHILD TABLE";
  versionRows->definition = complex.flat;
  versionRows->columnsInOrder.push_back(LongColumn(memo, complex.setPosition, true));

  auto child = std::make_shared<TableData>();
  child->name = parent.name + "_" + memo + kHistorySuffix;
  child->type = "CHILD TABLE";
  child->definition = complex.flat;
  child->properties = Properties({Property("ParentTable", Variant::Text(parent.name)),
                                  Property("ParentColumn", Variant::Text(memo))});
  child->history = history;
  // Key columns as the parent types them; empty for versions no row holds,
  // and never generated.
  std::vector<std::string> names;
  for (size_t k = 0; k < history->keyCount; ++k) {
    auto key = std::make_shared<ColumnData>(*parentRows->columnsInOrder[k]);
    key->properties = PlainProperties(true);
    key->complex = nullptr;
    names.push_back(key->name);
    child->columnsInOrder.push_back(key);
  }
  if (history->keyedByPosition) {
    names.push_back(FreeName(kPositionName, {memo}));
    child->columnsInOrder.push_back(LongColumn(names.back(), 0, true));
  }
  for (const auto& [name, position] : complex.items) {
    const jet::ColumnDefinition& flatColumn = complex.flat->columns[position];
    auto item = std::make_shared<ColumnData>();
    item->name = name == memo ? memo : FreeName(name, names);
    item->type = jet::AdoTypeCode(flatColumn.kind, false);
    item->definedSize = jet::IsLongValue(flatColumn.kind) ? 0 : flatColumn.length;
    item->position = position;
    item->properties = PlainProperties(true);
    names.push_back(item->name);
    child->columnsInOrder.push_back(item);
    versionRows->columnsInOrder.push_back(item);
  }
  history->versionRows = versionRows;
  for (const auto& data : child->columnsInOrder) child->columnsByName.emplace_back(data);
  std::stable_sort(child->columnsByName.begin(), child->columnsByName.end(),
                   [](const Column& a, const Column& b) { return NameLess(a.Name(), b.Name()); });
  auto index = std::make_shared<IndexData>();
  index->name = memo;
  for (size_t k = 0; k < names.size() - complex.items.size(); ++k) {
    index->columns.emplace_back(child->columnsInOrder[k]);
  }
  child->indexes.emplace_back(std::move(index));
  return child;
}

}  // namespace

std::vector<std::shared_ptr<TableData>> MakeHistoryTables(TableData& table,
                                                          const jet::Database& database) {
  std::vector<std::shared_ptr<TableData>> tables;
  if (!table.definition) return tables;
  const auto& columns = table.definition->columns;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].kind != jet::ColumnKind::Complex) continue;
    bool shown = std::any_of(table.columnsInOrder.begin(), table.columnsInOrder.end(),
                             [&](const auto& column) { return column->position == i; });
    if (shown) continue;
    try {
      auto complex = ResolveHistory(database, columns[i]);
      if (complex) tables.push_back(MakeHistoryTable(table, i, *complex));
    } catch (const SourceError& error) {
      table.damage.push_back("the version history in its column [" + columns[i].name +
                             "] cannot be read (" + error.Description() +
                             "); the earlier versions of its memo are left out");
    }
  }
  return tables;
}

}  // namespace bracken::source
