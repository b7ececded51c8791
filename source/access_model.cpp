// Builds the catalogue model the access objects hand out: tables with their
// type text, columns with the provider's type codes and properties, and the
// logical indexes with their key columns.

#include <algorithm>
#include <map>

#include "source/access_data.h"
#include "source/connection_text.h"
#include "source/jet/properties.h"
#include "source/source_error.h"

namespace bracken::source {

namespace {

using jet::CatalogueObject;
using jet::ColumnDefinition;
using jet::ColumnKind;

std::string TypeText(const CatalogueObject& object) {
  switch (static_cast<jet::ObjectKind>(object.kind)) {
    case jet::ObjectKind::Table:
      return (object.flags & jet::kSystemObjectFlags) != 0 ? "SYSTEM TABLE" : "TABLE";
    case jet::ObjectKind::LinkedTable:
    case jet::ObjectKind::LinkedOdbcTable:
      return "LINK";
    case jet::ObjectKind::Query:
      return (object.flags & 0xF0) == 0 ? "VIEW" : "";
  }
  return "";
}

int32_t DefinedSize(const ColumnDefinition& column, bool jet3) {
  switch (column.kind) {
    case ColumnKind::Text:
      return jet3 ? column.length : column.length / 2;
    case ColumnKind::Memo:
    case ColumnKind::Ole:
    case ColumnKind::Boolean:
      return 0;
    default:
      return column.length;
  }
}

uint8_t PrecisionOf(const ColumnDefinition& column) {
  switch (column.kind) {
    case ColumnKind::Byte:
      return 3;
    case ColumnKind::Integer:
      return 5;
    case ColumnKind::Long:
      return 10;
    case ColumnKind::Single:
      return 7;
    case ColumnKind::Double:
      return 15;
    case ColumnKind::Currency:
      return 19;
    case ColumnKind::Decimal:
      return column.precision;
    default:
      return 0;
  }
}

const Variant* FindValue(const jet::PropertyBlock* block, std::string_view name) {
  if (block == nullptr) return nullptr;
  for (const auto& [key, value] : block->values) {
    if (NameEqual(key, name)) return &value;
  }
  return nullptr;
}

Properties ColumnProperties(const ColumnDefinition& column, const jet::PropertyBlock* stored) {
  const Variant* required = FindValue(stored, "Required");
  bool autoNumber = column.AutoLong() || column.AutoGuid();
  bool nullable = !autoNumber && !(required != nullptr && required->ToBool());
  std::vector<Property> items;
  items.emplace_back("Autoincrement", Variant::Boolean(column.AutoLong()));
  items.emplace_back("Nullable", Variant::Boolean(nullable));
  items.emplace_back("Fixed Length", Variant::Boolean(column.FixedLength()));
  items.emplace_back("Jet OLEDB:AutoGenerate", Variant::Boolean(column.AutoGuid()));
  items.emplace_back("Jet OLEDB:Hyperlink", Variant::Boolean(column.Hyperlink()));
  if (const Variant* value = FindValue(stored, "DefaultValue"))
    items.emplace_back("Default", *value);
  if (const Variant* value = FindValue(stored, "AllowZeroLength")) {
    items.emplace_back("Jet OLEDB:Allow Zero Length", *value);
  }
  if (stored != nullptr) {
    for (const auto& entry : stored->values) {
      // A named pair rather than a structured binding: clang 14 cannot capture one.
      bool known = std::any_of(items.begin(), items.end(),
                               [&](const Property& p) { return NameEqual(p.Name(), entry.first); });
      if (!known) items.emplace_back(entry.first, entry.second);
    }
  }
  return Properties(std::move(items));
}

std::vector<jet::PropertyBlock> StoredProperties(const CatalogueObject& object,
                                                 const jet::Header& header) {
  return jet::ParseProperties(jet::Bytes(object.properties, "property blob"), header.format,
                              header.codePage);
}

// The property block of a column: the one of its exact name, else one whose
// name differs only by case.
const jet::PropertyBlock* ColumnBlock(const std::vector<jet::PropertyBlock>& stored,
                                      const std::string& name) {
  const jet::PropertyBlock* found = nullptr;
  for (const auto& block : stored) {
    if (block.owner == name) return &block;
    if (found == nullptr && NameEqual(block.owner, name)) found = &block;
  }
  return found;
}

std::vector<Index> BuildIndexes(const jet::TableDefinition& definition,
                                const std::vector<std::shared_ptr<const ColumnData>>& columns) {
  std::vector<jet::LogicalIndex> logicalIndexes = definition.logicalIndexes;
  std::stable_sort(logicalIndexes.begin(), logicalIndexes.end(),
                   [](const auto& a, const auto& b) { return a.number < b.number; });
  std::vector<Index> indexes;
  for (const auto& logical : logicalIndexes) {
    if (logical.realIndex >= definition.realIndexes.size()) {
      ThrowDamaged("a logical index names a real index that does not exist");
    }
    // A foreign key entry that only points at another index's real index
    // (the referenced side of a relationship) is no index of its own.
    if (logical.kind == jet::kLogicalForeignKey &&
        std::any_of(definition.logicalIndexes.begin(), definition.logicalIndexes.end(),
                    [&](const auto& other) {
                      return other.kind != jet::kLogicalForeignKey &&
                             other.realIndex == logical.realIndex;
                    })) {
      continue;
    }
    const jet::RealIndex& real = definition.realIndexes[logical.realIndex];
    auto data = std::make_shared<IndexData>();
    data->name = logical.name;
    data->primaryKey = logical.kind == jet::kLogicalPrimaryKey;
    data->unique = data->primaryKey || (real.flags & jet::kRealIndexUnique) != 0;
    for (const auto& key : real.columns) {
      auto found = std::find_if(columns.begin(), columns.end(), [&](const auto& column) {
        return definition.columns[column->position].number == key.columnNumber;
      });
      if (found == columns.end()) ThrowDamaged("an index names a column that does not exist");
      data->columns.emplace_back(*found);
    }
    indexes.emplace_back(std::move(data));
  }
  return indexes;
}

void FillTableDefinition(TableData& table, const CatalogueObject& object,
                         const jet::Database& database) {
  const jet::Header& header = database.header;
  table.definition = jet::ReadTableDefinition(*database.file, header.format, header.codePage,
                                              object.DefinitionPage());
  std::vector<jet::PropertyBlock> stored = StoredProperties(object, header);
  // The first block belongs to the table itself, the others to its columns.
  bool columnNamedLikeTable =
      std::any_of(table.definition->columns.begin(), table.definition->columns.end(),
                  [&](const auto& column) { return NameEqual(column.name, object.name); });
  if (!stored.empty() &&
      (stored.front().owner.empty() ||
       (NameEqual(stored.front().owner, object.name) && !columnNamedLikeTable))) {
    std::vector<Property> items;
    for (const auto& [key, value] : stored.front().values) items.emplace_back(key, value);
    table.properties = Properties(std::move(items));
    stored.erase(stored.begin());
  }
  for (size_t i = 0; i < table.definition->columns.size(); ++i) {
    const ColumnDefinition& column = table.definition->columns[i];
    const jet::PropertyBlock* block = ColumnBlock(stored, column.name);
    auto data = std::make_shared<ColumnData>();
    data->name = column.name;
    data->type = jet::AdoTypeCode(column.kind, column.FixedLength());
    data->definedSize = DefinedSize(column, header.format.jet3);
    data->precision = PrecisionOf(column);
    data->scale = column.kind == ColumnKind::Decimal    ? column.scale
                  : column.kind == ColumnKind::Currency ? 4
                                                        : 0;
    data->properties = ColumnProperties(column, block);
    data->position = i;
    table.columnsInOrder.push_back(data);
    table.columnsByName.emplace_back(data);
  }
  std::stable_sort(table.columnsByName.begin(), table.columnsByName.end(),
                   [](const Column& a, const Column& b) { return NameLess(a.Name(), b.Name()); });
  table.indexes = BuildIndexes(*table.definition, table.columnsInOrder);
}

// Builds the model of the catalogue's objects; with a name, only of the
// objects of that name (a recordset needs no other table).
std::shared_ptr<DatabaseData> BuildModel(std::shared_ptr<jet::Database> database,
                                         const std::string* onlyName = nullptr) {
  auto data = std::make_shared<DatabaseData>();
  data->database = std::move(database);
  for (const CatalogueObject& object : data->database->objects) {
    std::string type = TypeText(object);
    if (type.empty() || (onlyName != nullptr && !NameEqual(object.name, *onlyName))) continue;
    auto table = std::make_shared<TableData>();
    table->name = object.name;
    table->type = type;
    if (object.kind == static_cast<int16_t>(jet::ObjectKind::Table)) {
      FillTableDefinition(*table, object, *data->database);
    }
    data->tableData.push_back(std::move(table));
  }
  std::stable_sort(data->tableData.begin(), data->tableData.end(),
                   [](const auto& a, const auto& b) {
                     if (a->type != b->type) return a->type < b->type;
                     return NameLess(a->name, b->name);
                   });
  for (const auto& table : data->tableData) data->tables.emplace_back(table);
  return data;
}

unsigned char Fold(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

}  // namespace

bool NameLess(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

bool NameEqual(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Fold(x) == Fold(y); });
}

void ThrowItemNotFound() {
  throw SourceError(-2146825023, "ADODB",
                    "Item cannot be found in the collection corresponding to the requested name "
                    "or ordinal.");
}

std::shared_ptr<DatabaseData> OpenDatabaseData(const std::string& connectionText,
                                               const std::string* onlyTable) {
  ConnectionSettings settings = ParseConnectionText(connectionText);
  auto file = jet::PageFile::OpenPath(settings.dataSource);
  return BuildModel(jet::OpenDatabase(std::move(file), settings.password), onlyTable);
}

std::shared_ptr<DatabaseData> OpenDatabaseBuffer(std::string bytes, const std::string& password) {
  auto file = jet::PageFile::FromBuffer(std::move(bytes), "(memory)");
  return BuildModel(jet::OpenDatabase(std::move(file), password));
}

}  // namespace bracken::source
