// Builds the catalogue model the access objects hand out: tables with their
// type text, columns with the provider's type codes and properties, and the
// logical indexes with their key columns.

#include <algorithm>
#include <map>
#include <optional>

#include "source/access_data.h"
#include "source/connection_text.h"
#include "source/jet/properties.h"
#include "source/jet/relationships.h"
#include "source/jet/row_scanner.h"
#include "source/source_error.h"
#include "source/version_history.h"

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

constexpr uint8_t kCalculatedDecimalPrecision = 57;
constexpr uint8_t kCalculatedDecimalScale = 28;

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
  if (const Variant* value = FindValue(stored, "ValidationRule")) {
    items.emplace_back("Jet OLEDB:Column Validation Rule", *value);
  }
  if (const Variant* value = FindValue(stored, "ValidationText")) {
    items.emplace_back("Jet OLEDB:Column Validation Text", *value);
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

// A calculated column reads as its result: the kind its "ResultType"
// property names, in the size the result takes.
void ApplyResultType(jet::ColumnDefinition& column, const jet::PropertyBlock* block) {
  const Variant* resultType = FindValue(block, "ResultType");
  if (resultType == nullptr || resultType->kind() != Variant::Kind::Byte ||
      !jet::IsKnownKind(static_cast<uint8_t>(resultType->ToInt64()))) {
    ThrowDamaged("a calculated column has no known result type");
  }
  column.resultKind = static_cast<ColumnKind>(resultType->ToInt64());
}

// A calculated column's size is the stored one, header included, as the
// file keeps it; a long result has none.
int32_t CalculatedSize(const ColumnDefinition& column, bool jet3) {
  ColumnDefinition result = column;
  result.kind = column.resultKind;
  return DefinedSize(result, jet3);
}

// The column's model; false for a column that is not the user's.
bool FillColumn(ColumnData& data, const ColumnDefinition& column, const jet::PropertyBlock* block,
                const jet::Database& database) {
  const jet::Header& header = database.header;
  data.name = column.name;
  ColumnKind kind = column.calculated ? column.resultKind : column.kind;
  data.type = jet::AdoTypeCode(kind, column.FixedLength() && !column.calculated);
  data.definedSize = column.calculated ? CalculatedSize(column, header.format.jet3)
                                       : DefinedSize(column, header.format.jet3);
  ColumnDefinition typed = column;
  typed.kind = kind;
  data.precision = PrecisionOf(typed);
  data.scale = kind == ColumnKind::Decimal ? column.scale : kind == ColumnKind::Currency ? 4 : 0;
  if (kind == ColumnKind::Decimal && column.calculated) {
    // Each calculated decimal carries its own scale (up to 28) on a 96-bit
    // magnitude: 29 digits before the point and 28 after hold any of them.
    data.precision = kCalculatedDecimalPrecision;
    data.scale = kCalculatedDecimalScale;
  }
  data.properties = ColumnProperties(column, block);
  if (column.kind == ColumnKind::Complex) return ResolveComplexColumn(database, column, data);
  return true;
}

// The object's property blocks. A blob that cannot be read leaves them all
// unknown, which the table's damage notes say.
std::vector<jet::PropertyBlock> ReadStoredProperties(const CatalogueObject& object,
                                                     const jet::Header& header,
                                                     std::vector<std::string>& damage) {
  std::string reason = object.propertiesDamage;
  if (reason.empty()) {
    try {
      return StoredProperties(object, header);
    } catch (const SourceError& error) {
      reason = DamageReason(error);
    }
  }
  damage.push_back("its properties cannot be read (" + reason +
                   "); they are unknown: descriptions, default values, validation rules and "
                   "which columns are required");
  return {};
}

void FillTableDefinition(TableData& table, const CatalogueObject& object,
                         const jet::Database& database) {
  const jet::Header& header = database.header;
  auto definition = std::make_shared<jet::TableDefinition>(*jet::ReadTableDefinition(
      *database.file, header.format, header.codePage, object.DefinitionPage()));
  std::vector<jet::PropertyBlock> stored = ReadStoredProperties(object, header, table.damage);
  const bool propertiesKnown = table.damage.empty();
  // The first block belongs to the table itself, the others to its columns.
  bool columnNamedLikeTable =
      std::any_of(definition->columns.begin(), definition->columns.end(),
                  [&](const auto& column) { return NameEqual(column.name, object.name); });
  if (!stored.empty() &&
      (stored.front().owner.empty() ||
       (NameEqual(stored.front().owner, object.name) && !columnNamedLikeTable))) {
    std::vector<Property> items;
    const jet::PropertyBlock* own = &stored.front();
    if (const Variant* value = FindValue(own, "ValidationRule")) {
      items.emplace_back("Jet OLEDB:Table Validation Rule", *value);
    }
    if (const Variant* value = FindValue(own, "ValidationText")) {
      items.emplace_back("Jet OLEDB:Table Validation Text", *value);
    }
    for (const auto& [key, value] : own->values) items.emplace_back(key, value);
    table.properties = Properties(std::move(items));
    stored.erase(stored.begin());
  }
  // Without its properties a calculated column reads as the kind it is
  // stored as, which is its result's.
  for (auto& column : definition->columns) {
    if (column.calculated && propertiesKnown) {
      ApplyResultType(column, ColumnBlock(stored, column.name));
    }
  }
  table.definition = definition;
  std::vector<std::shared_ptr<const ColumnData>> allColumns;
  for (size_t i = 0; i < definition->columns.size(); ++i) {
    const ColumnDefinition& column = definition->columns[i];
    auto data = std::make_shared<ColumnData>();
    data->position = i;
    bool shown = FillColumn(*data, column, ColumnBlock(stored, column.name), database);
    allColumns.push_back(data);
    if (!shown) continue;
    table.columnsInOrder.push_back(data);
    table.columnsByName.emplace_back(data);
  }
  std::stable_sort(table.columnsByName.begin(), table.columnsByName.end(),
                   [](const Column& a, const Column& b) { return NameLess(a.Name(), b.Name()); });
  std::vector<Index> indexes;
  if (!definition->indexDamage.empty()) {
    table.damage.push_back("its indexes cannot be read (" + definition->indexDamage +
                           "); it is converted without them");
  } else {
    try {
      indexes = BuildIndexes(*table.definition, allColumns);
    } catch (const SourceError& error) {
      table.damage.push_back("its indexes cannot be read (" + DamageReason(error) +
                             "); it is converted without them");
    }
  }
  // An index over a column that is not the user's (a version history) goes
  // with it.
  for (Index& index : indexes) {
    source::Columns keys = index.Columns();
    bool shown = true;
    for (long k = 0; k < keys.Count(); ++k) {
      shown = shown && std::any_of(table.columnsInOrder.begin(), table.columnsInOrder.end(),
                                   [&](const auto& c) { return c->name == keys.Item(k).Name(); });
    }
    if (shown) table.indexes.push_back(std::move(index));
  }
}

// Whether name may be a child table of the table parent ("PARENT_COLUMN").
bool IsChildTableName(std::string_view name, std::string_view parent) {
  return name.size() > parent.size() + 1 && name[parent.size()] == '_' &&
         NameEqual(name.substr(0, parent.size()), parent);
}

// The system tables hold what the file knows of its objects (queries,
// relationships, permissions, attachments): rows they lose, or a definition
// put in the place of another's, show as rows missing from their count.
void CheckSystemTables(DatabaseData& data) {
  const jet::Database& database = *data.database;
  for (const auto& table : data.tableData) {
    if (table->type != "SYSTEM TABLE" || !table->definition || table->name == "MSysObjects" ||
        table->definition->rowCount == 0) {
      continue;
    }
    jet::RowScanner scanner(database.file, database.header.format, table->definition);
    uint32_t found = 0;
    while (scanner.Next()) ++found;
    for (const std::string& note : scanner.Damage()) {
      data.damage.push_back("The system table " + table->name + " is damaged: " + note + ".");
    }
    if (found < table->definition->rowCount) {
      data.damage.push_back("The system table " + table->name + " counts " +
                            std::to_string(table->definition->rowCount) + " rows, but only " +
                            std::to_string(found) +
                            " could be found; what the others held about the file's objects is "
                            "missing.");
    }
  }
}

const TableData* FindTable(const DatabaseData& data, std::string_view name) {
  const TableData* found = nullptr;
  for (const auto& table : data.tableData) {
    if (table->type == "CHILD TABLE") continue;
    if (table->name == name) return table.get();
    if (found == nullptr && NameEqual(table->name, name)) found = table.get();
  }
  return found;
}

// The column of that name as the table spells it; "" where it has none.
std::string ColumnNamed(const TableData& table, std::string_view name) {
  std::string found;
  for (const auto& column : table.columnsInOrder) {
    if (column->name == name) return column->name;
    if (found.empty() && NameEqual(column->name, name)) found = column->name;
  }
  return found;
}

// One relationship from its rows, which share its name. Empty with `why`
// set where the rows do not make a whole relationship.
std::optional<Relationship> AssembleRelationship(std::vector<const jet::RelationshipRow*> rows,
                                                 std::string& why) {
  const jet::RelationshipRow& first = *rows.front();
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto* a, const auto* b) { return a->position < b->position; });
  if (first.columnCount != static_cast<int32_t>(rows.size())) {
    why = "it counts " + std::to_string(first.columnCount) + " columns, but " +
          std::to_string(rows.size()) + " were found";
    return std::nullopt;
  }
  Relationship relationship;
  relationship.name = first.name;
  relationship.table = first.table;
  relationship.referencedTable = first.referencedTable;
  relationship.attributes = first.flags;
  for (size_t i = 0; i < rows.size(); ++i) {
    const jet::RelationshipRow& row = *rows[i];
    if (row.position != static_cast<int32_t>(i) || row.columnCount != first.columnCount ||
        row.flags != first.flags || !NameEqual(row.table, first.table) ||
        !NameEqual(row.referencedTable, first.referencedTable)) {
      why = "its rows disagree about its tables, flags or the order of its columns";
      return std::nullopt;
    }
    relationship.columns.push_back(row.column);
    relationship.referencedColumns.push_back(row.referencedColumn);
  }
  return relationship;
}

// Spells the relationship's tables and columns as the file's tables do;
// false with `why` set where one of them does not exist. A link's columns
// are not known here and are kept as named.
bool ResolveNames(const DatabaseData& data, Relationship& relationship, std::string& why) {
  auto resolve = [&](std::string& tableName, std::vector<std::string>& columns) {
    const TableData* table = FindTable(data, tableName);
    if (table == nullptr) {
      why = "it names the table " + tableName + ", which the file does not hold";
      return false;
    }
    tableName = table->name;
    if (table->type == "LINK") return true;
    if (!table->definition) {
      why = "it names the table " + tableName + ", whose definition cannot be read";
      return false;
    }
    for (std::string& column : columns) {
      std::string spelt = ColumnNamed(*table, column);
      if (spelt.empty()) {
        why = "it names the column " + column;
        why += " of the table " + tableName + ", which the table does not have";
        return false;
      }
      column = spelt;
    }
    return true;
  };
  return resolve(relationship.table, relationship.columns) &&
         resolve(relationship.referencedTable, relationship.referencedColumns);
}

bool IsSystemTable(const DatabaseData& data, std::string_view name) {
  const TableData* table = FindTable(data, name);
  return table != nullptr && table->type == "SYSTEM TABLE";
}

// The relationships MSysRelationships keeps. Each one that cannot be read
// whole costs only itself, with a sentence in the file's damage.
void ReadRelationships(DatabaseData& data) {
  const TableData* system = FindTable(data, "MSysRelationships");
  if (system == nullptr || system->type != "SYSTEM TABLE") return;
  const std::string unknown = "; the file's relationships are unknown and none of them is kept.";
  if (!system->definition) {
    data.damage.push_back(
        "The table of the file's relationships, MSysRelationships, cannot be "
        "read (its definition cannot be read)" +
        unknown);
    return;
  }
  const jet::Database& database = *data.database;
  std::vector<std::string> rowDamage;
  std::vector<jet::RelationshipRow> rows;
  try {
    rows = jet::ReadRelationshipRows(database.file, database.header.format,
                                     database.header.codePage, system->definition, rowDamage);
  } catch (const SourceError& error) {
    data.damage.push_back(
        "The table of the file's relationships, MSysRelationships, cannot be "
        "read (" +
        DamageReason(error) + ")" + unknown);
    return;
  }
  for (const std::string& reason : rowDamage) {
    data.damage.push_back(
        "A row of the table of the file's relationships, MSysRelationships, "
        "cannot be read (" +
        reason + "); the relationship it belongs to is not kept whole.");
  }
  // Rows grouped by relationship, in the order the names first appear.
  std::vector<std::vector<const jet::RelationshipRow*>> groups;
  for (const auto& row : rows) {
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& g) { return NameEqual(g.front()->name, row.name); });
    if (group == groups.end()) {
      groups.push_back({&row});
    } else {
      group->push_back(&row);
    }
  }
  for (const auto& group : groups) {
    const jet::RelationshipRow& first = *group.front();
    if (IsSystemTable(data, first.table) && IsSystemTable(data, first.referencedTable)) continue;
    std::string why;
    std::optional<Relationship> relationship = AssembleRelationship(group, why);
    if (relationship && ResolveNames(data, *relationship, why)) {
      data.relationships.push_back(std::move(*relationship));
    } else {
      data.damage.push_back("The relationship " + first.name + " cannot be read whole (" + why +
                            "); it is left out.");
    }
  }
  std::stable_sort(data.relationships.begin(), data.relationships.end(),
                   [](const auto& a, const auto& b) { return NameLess(a.name, b.name); });
}

// Builds the model of the catalogue's objects; with a name, only of the
// objects of that name (a recordset needs no other table).
std::shared_ptr<DatabaseData> BuildModel(std::shared_ptr<jet::Database> database,
                                         const std::string* onlyName = nullptr) {
  auto data = std::make_shared<DatabaseData>();
  data->database = std::move(database);
  data->damage = data->database->damage;
  for (const CatalogueObject& object : data->database->objects) {
    std::string type = TypeText(object);
    if (type.empty() || (onlyName != nullptr && !NameEqual(object.name, *onlyName) &&
                         !IsChildTableName(*onlyName, object.name))) {
      continue;
    }
    auto table = std::make_shared<TableData>();
    table->name = object.name;
    table->type = type;
    if (object.kind == static_cast<int16_t>(jet::ObjectKind::Table)) {
      try {
        FillTableDefinition(*table, object, *data->database);
      } catch (const SourceError& error) {
        // Listed all the same, so that its loss is seen: no columns, and a
        // recordset that will not open.
        *table = TableData{};
        table->name = object.name;
        table->type = type;
        table->damage.push_back("its definition cannot be read (" + DamageReason(error) +
                                "); none of its rows can be converted");
      }
    }
    std::vector<std::shared_ptr<TableData>> children;
    if (type == "TABLE") {
      for (const auto& column : table->columnsInOrder) {
        if (column->complex) children.push_back(MakeChildTable(*table, *column));
      }
      for (auto& history : MakeHistoryTables(*table, *data->database)) {
        children.push_back(std::move(history));
      }
    }
    data->tableData.push_back(std::move(table));
    for (auto& child : children) data->tableData.push_back(std::move(child));
  }
  std::stable_sort(data->tableData.begin(), data->tableData.end(),
                   [](const auto& a, const auto& b) {
                     if (a->type != b->type) return a->type < b->type;
                     return NameLess(a->name, b->name);
                   });
  for (const auto& table : data->tableData) data->tables.emplace_back(table);
  if (onlyName == nullptr) {
    CheckSystemTables(*data);
    ReadRelationships(*data);
    ReadQueries(*data);
  }
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
