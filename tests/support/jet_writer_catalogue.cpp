#include "tests/support/jet_writer_catalogue.h"

#include <algorithm>
#include <map>

#include "tests/support/jet_writer_bytes.h"

namespace bracken::testing::jet {
namespace {

constexpr int64_t kRootId = 0x0f000000;
constexpr int64_t kTablesId = 0x0f000001;
constexpr int64_t kDatabasesId = 0x0f000002;
constexpr int64_t kRelationshipsId = 0x0f000003;
constexpr int64_t kDatabaseObjectId = 0x10000000;
constexpr int64_t kSystemFlag = static_cast<int32_t>(0x80000000u);
constexpr int64_t kTableType = 1;
constexpr int64_t kDatabaseType = 2;
constexpr int64_t kContainerType = 3;
constexpr int64_t kQueryType = 5;
// Saved queries are numbered apart from the tables, whose ids are pages.
constexpr int64_t kFirstQueryId = static_cast<int32_t>(0x80000008u);

int64_t QueryId(size_t index) { return kFirstQueryId + static_cast<int64_t>(index); }

// The catalogue's flags of a query object follow its kind (Attribute 1's flag).
int64_t QueryObjectFlags(const FixtureQuery& query) {
  static constexpr int64_t kFlags[] = {0, 0, 80, 64, 48, 32, 16, 96, 112, 128};
  int64_t flags = query.extraFlags | (query.name.rfind("~sq_", 0) == 0 ? 0x3 : 0);
  for (const FixtureQueryRow& row : query.rows) {
    if (row.attribute == 1 && row.flag && *row.flag >= 0 && *row.flag <= 9) {
      flags |= kFlags[*row.flag];
    }
  }
  return flags;
}

constexpr uint8_t kBooleanProperty = 0x01;
constexpr uint8_t kByteProperty = 0x02;
constexpr uint8_t kMemoProperty = 0x0c;
constexpr uint8_t kRichTextFormat = 1;

FixtureTable ObjectsTable() {
  FixtureTable t;
  t.name = "MSysObjects";
  t.columns = {MakeColumn("Id", ColumnKind::Long),
               MakeColumn("ParentId", ColumnKind::Long),
               MakeColumn("Name", ColumnKind::Text, 255),
               MakeColumn("Type", ColumnKind::Integer),
               MakeColumn("DateCreate", ColumnKind::DateTime),
               MakeColumn("DateUpdate", ColumnKind::DateTime),
               MakeColumn("Owner", ColumnKind::Binary, 255),
               MakeColumn("Flags", ColumnKind::Long),
               MakeColumn("Database", ColumnKind::Memo),
               MakeColumn("Connect", ColumnKind::Memo),
               MakeColumn("ForeignName", ColumnKind::Text, 255),
               MakeColumn("RmtInfoShort", ColumnKind::Binary, 255),
               MakeColumn("RmtInfoLong", ColumnKind::Ole),
               MakeColumn("Lv", ColumnKind::Ole),
               MakeColumn("LvProp", ColumnKind::Ole),
               MakeColumn("LvModule", ColumnKind::Ole),
               MakeColumn("LvExtra", ColumnKind::Ole)};
  t.indexes = {{"Id", {"Id"}, true, true, false},
               {"ParentIdName", {"ParentId", "Name"}, false, true, false}};
  return t;
}

FixtureTable Named(std::string name, std::vector<FixtureColumn> columns) {
  FixtureTable t;
  t.name = std::move(name);
  t.columns = std::move(columns);
  return t;
}

std::vector<FixtureValue> ObjectRow(int64_t id, int64_t parent, const std::string& name,
                                    int64_t type, int64_t flags, double date,
                                    const std::string& properties) {
  std::vector<FixtureValue> row(17);
  row[0] = id;
  row[1] = parent;
  row[2] = name;
  row[3] = type;
  row[4] = date;
  row[5] = date;
  row[7] = flags;
  if (!properties.empty()) row[14] = properties;
  return row;
}

// The property names, in order of first use.
struct NameTable {
  std::vector<std::string> names;
  uint16_t Index(const std::string& name) {
    auto it = std::find(names.begin(), names.end(), name);
    if (it != names.end()) return static_cast<uint16_t>(it - names.begin());
    names.push_back(name);
    return static_cast<uint16_t>(names.size() - 1);
  }
};

void AppendProperty(std::string& out, NameTable& names, const std::string& name, uint8_t type,
                    const std::string& value) {
  Append<uint16_t>(out, static_cast<uint16_t>(8 + value.size()));
  Append<uint8_t>(out, 0x01);  // defined through the design interface
  Append<uint8_t>(out, type);
  Append<uint16_t>(out, names.Index(name));
  Append<uint16_t>(out, static_cast<uint16_t>(value.size()));
  out += value;
}

// A block of one object's properties: type 0 for the table, 1 for a column.
std::string ObjectBlock(uint16_t type, const std::string& objectName, const std::string& entries,
                        const WriterFormat& format) {
  std::string name = NameBytes(objectName, format);
  std::string block;
  Append<uint32_t>(block, static_cast<uint32_t>(12 + name.size() + entries.size()));
  Append<uint16_t>(block, type);
  Append<uint32_t>(block, static_cast<uint32_t>(6 + name.size()));
  Append<uint16_t>(block, static_cast<uint16_t>(name.size()));
  return block + name + entries;
}

std::string ColumnEntries(const FixtureColumn& c, NameTable& names, const WriterFormat& format) {
  std::string entries;
  AppendProperty(entries, names, "Required", kBooleanProperty,
                 std::string(1, c.required ? '\x01' : '\x00'));
  if (!c.defaultValue.empty()) {
    AppendProperty(entries, names, "DefaultValue", kMemoProperty,
                   NameBytes(c.defaultValue, format));
  }
  if (!c.validationRule.empty()) {
    AppendProperty(entries, names, "ValidationRule", kMemoProperty,
                   NameBytes(c.validationRule, format));
  }
  if (!c.validationText.empty()) {
    AppendProperty(entries, names, "ValidationText", kMemoProperty,
                   NameBytes(c.validationText, format));
  }
  if (!c.description.empty()) {
    AppendProperty(entries, names, "Description", kMemoProperty, NameBytes(c.description, format));
  }
  if (c.allowZeroLength)
    AppendProperty(entries, names, "AllowZeroLength", kBooleanProperty, "\x01");
  if (c.richText) {
    AppendProperty(entries, names, "TextFormat", kByteProperty,
                   std::string(1, static_cast<char>(kRichTextFormat)));
  }
  return entries;
}

std::string NamesBlock(const NameTable& names, const WriterFormat& format) {
  std::string body;
  for (const std::string& name : names.names) {
    std::string bytes = NameBytes(name, format);
    Append<uint16_t>(body, static_cast<uint16_t>(bytes.size()));
    body += bytes;
  }
  std::string block;
  Append<uint32_t>(block, static_cast<uint32_t>(6 + body.size()));
  Append<uint16_t>(block, 0x80);
  return block + body;
}

// A crosstab's fixed column headings as the query object's own property.
std::string QueryProperties(const FixtureQuery& query, const WriterFormat& format) {
  if (query.columnHeadings.empty()) return {};
  NameTable names;
  std::string entries;
  AppendProperty(entries, names, "ColumnHeadings", kMemoProperty,
                 NameBytes(query.columnHeadings, format));
  return std::string(format.jet3 ? "KKD" : "MR2") + std::string(1, '\0') +
         NamesBlock(names, format) + ObjectBlock(0, "", entries, format);
}

}  // namespace

std::vector<FixtureTable> SystemTables() {
  return {
      ObjectsTable(),
      Named("MSysACEs",
            {MakeColumn("ACM", ColumnKind::Long), MakeColumn("FInheritable", ColumnKind::Boolean),
             MakeColumn("ObjectId", ColumnKind::Long), MakeColumn("SID", ColumnKind::Binary, 255)}),
      Named(
          "MSysQueries",
          {MakeColumn("Attribute", ColumnKind::Byte), MakeColumn("Expression", ColumnKind::Memo),
           MakeColumn("Flag", ColumnKind::Integer), MakeColumn("LvExtra", ColumnKind::Ole),
           MakeColumn("Name1", ColumnKind::Memo), MakeColumn("Name2", ColumnKind::Memo),
           MakeColumn("ObjectId", ColumnKind::Long), MakeColumn("Order", ColumnKind::Binary, 255)}),
      Named("MSysRelationships",
            {MakeColumn("ccolumn", ColumnKind::Long), MakeColumn("grbit", ColumnKind::Long),
             MakeColumn("icolumn", ColumnKind::Long), MakeColumn("szColumn", ColumnKind::Text, 64),
             MakeColumn("szObject", ColumnKind::Text, 64),
             MakeColumn("szReferencedColumn", ColumnKind::Text, 64),
             MakeColumn("szReferencedObject", ColumnKind::Text, 64),
             MakeColumn("szRelationship", ColumnKind::Text, 64)})};
}

std::vector<std::vector<FixtureValue>> CatalogueRows(const std::vector<CatalogueEntry>& tables,
                                                     const std::vector<FixtureQuery>& queries,
                                                     double date, const WriterFormat& format) {
  std::vector<std::vector<FixtureValue>> rows = {
      ObjectRow(kTablesId, kRootId, "Tables", kContainerType, kSystemFlag, date, {}),
      ObjectRow(kDatabasesId, kRootId, "Databases", kContainerType, kSystemFlag, date, {}),
      ObjectRow(kRelationshipsId, kRootId, "Relationships", kContainerType, kSystemFlag, date, {}),
      ObjectRow(kDatabaseObjectId, kDatabasesId, "MSysDb", kDatabaseType, kSystemFlag, date, {}),
  };
  for (const CatalogueEntry& t : tables) {
    rows.push_back(ObjectRow(t.definitionPage, kTablesId, t.name, kTableType,
                             t.system ? kSystemFlag : 0, date, t.properties));
  }
  for (size_t i = 0; i < queries.size(); ++i) {
    rows.push_back(ObjectRow(QueryId(i), kTablesId, queries[i].name, kQueryType,
                             QueryObjectFlags(queries[i]), date,
                             QueryProperties(queries[i], format)));
  }
  return rows;
}

// Jet 4 starts the blob with "MR2", Jet 3 with "KKD".
std::string TableProperties(const FixtureTable& table, const WriterFormat& format) {
  NameTable names;
  std::string tableEntries;
  if (!table.validationRule.empty()) {
    AppendProperty(tableEntries, names, "ValidationRule", kMemoProperty,
                   NameBytes(table.validationRule, format));
  }
  if (!table.validationText.empty()) {
    AppendProperty(tableEntries, names, "ValidationText", kMemoProperty,
                   NameBytes(table.validationText, format));
  }
  if (!table.description.empty()) {
    AppendProperty(tableEntries, names, "Description", kMemoProperty,
                   NameBytes(table.description, format));
  }
  std::string blocks = ObjectBlock(0, "", tableEntries, format);
  for (const FixtureColumn& c : table.columns) {
    blocks += ObjectBlock(1, c.name, ColumnEntries(c, names, format), format);
  }
  return std::string(format.jet3 ? "KKD" : "MR2") + std::string(1, '\0') +
         NamesBlock(names, format) + blocks;
}

std::vector<std::vector<FixtureValue>> QueryRows(const std::vector<FixtureQuery>& queries) {
  std::vector<std::vector<FixtureValue>> rows;
  auto text = [](const std::string& value) {
    return value.empty() ? FixtureValue{} : FixtureValue{value};
  };
  for (size_t i = 0; i < queries.size(); ++i) {
    std::vector<FixtureQueryRow> stored = {{0, {}, {}, {}, 0}};
    stored.insert(stored.end(), queries[i].rows.begin(), queries[i].rows.end());
    stored.push_back({255, {}, {}, {}, std::nullopt});
    std::map<int, uint32_t> orders;
    for (const FixtureQueryRow& row : stored) {
      std::string order;
      uint32_t n = ++orders[row.attribute];
      for (int shift = 24; shift >= 0; shift -= 8) order.push_back(static_cast<char>(n >> shift));
      // Attribute, Expression, Flag, LvExtra, Name1, Name2, ObjectId, Order
      rows.push_back({int64_t{row.attribute}, text(row.expression),
                      row.flag ? FixtureValue{int64_t{*row.flag}} : FixtureValue{}, FixtureValue{},
                      text(row.name1), text(row.name2), QueryId(i), order});
    }
  }
  return rows;
}

std::vector<std::vector<FixtureValue>> RelationshipRows(
    const std::vector<FixtureRelationship>& relationships) {
  std::vector<std::vector<FixtureValue>> rows;
  for (const FixtureRelationship& r : relationships) {
    int64_t flags = (r.oneToOne ? 0x1 : 0) | (r.enforced ? 0 : 0x2) |
                    (r.cascadeUpdates ? 0x100 : 0) | (r.cascadeDeletes ? 0x1000 : 0) |
                    (r.cascadeNull ? 0x2000 : 0);
    for (size_t i = 0; i < r.columns.size(); ++i) {
      rows.push_back({static_cast<int64_t>(r.columns.size()), flags, static_cast<int64_t>(i),
                      r.columns[i], r.table, r.referencedColumns.at(i), r.referencedTable, r.name});
    }
  }
  return rows;
}

}  // namespace bracken::testing::jet
