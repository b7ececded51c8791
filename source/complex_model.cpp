// Attachment and multi-value columns in the catalogue model: their type
// codes, the flat tables behind them and the child tables shown for them.

#include <algorithm>

#include "source/access_data.h"
#include "source/jet/catalogue.h"
#include "source/source_error.h"

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

}  // namespace bracken::source
