// Rebuilds the file's saved queries from the rows of MSysQueries.

#include <algorithm>
#include <map>

#include "source/access_data.h"
#include "source/jet/properties.h"
#include "source/jet/queries.h"
#include "source/source_error.h"

namespace bracken::source {

namespace {

using jet::QueryAttribute;
using jet::QueryRow;

constexpr size_t kMaxSources = 255;
constexpr size_t kMaxJoins = 1024;

// Thrown while a query is put together: why its rows make no query.
struct Unreadable {
  std::string why;
};

QueryKind KindOf(const QueryRow& row) {
  static constexpr QueryKind kKinds[] = {
      QueryKind::Select,         QueryKind::MakeTable,   QueryKind::Append,
      QueryKind::Update,         QueryKind::Delete,      QueryKind::Crosstab,
      QueryKind::DataDefinition, QueryKind::PassThrough, QueryKind::Union};
  const int32_t flag = row.flag.value_or(0);
  if (flag < 1 || flag > 9) throw Unreadable{"its kind " + std::to_string(flag) + " is not known"};
  return kKinds[flag - 1];
}

std::string ParameterType(const QueryRow& row) {
  static const std::map<int32_t, std::string> kTypes = {
      {0, "Value"},    {1, "Bit"},         {2, "Byte"},       {3, "Short"},    {4, "Long"},
      {5, "Currency"}, {6, "IEEESingle"},  {7, "IEEEDouble"}, {8, "DateTime"}, {9, "Binary"},
      {10, "Text"},    {11, "LongBinary"}, {12, "Memo"},      {15, "Guid"},    {20, "Decimal"}};
  auto found = kTypes.find(row.flag.value_or(0));
  if (found == kTypes.end()) {
    throw Unreadable{"its parameter " + row.name1 + " has the unknown type " +
                     std::to_string(*row.flag)};
  }
  return found->second;
}

CrosstabRole RoleOf(const QueryRow& row, QueryKind kind) {
  if (kind != QueryKind::Crosstab) return CrosstabRole::Plain;
  switch (row.flag.value_or(0)) {
    case 0:
      return CrosstabRole::Value;
    case 1:
      return CrosstabRole::ColumnHeading;
    case 2:
      return CrosstabRole::RowHeading;
    default:
      throw Unreadable{"a column of it has the unknown crosstab role " + std::to_string(*row.flag)};
  }
}

bool Has(const QueryDefinition& definition, const std::string& reference) {
  return std::any_of(definition.sources.begin(), definition.sources.end(),
                     [&](const QuerySource& s) { return NameEqual(s.Reference(), reference); });
}

// The fixed column headings Access keeps for a crosstab among the query
// object's properties ("ColumnHeadings").
std::string ColumnHeadings(const jet::CatalogueObject& object, const jet::Header& header) {
  if (object.properties.empty()) return {};
  std::vector<jet::PropertyBlock> blocks;
  try {
    blocks = jet::ParseProperties(jet::Bytes(object.properties, "property blob"), header.format,
                                  header.codePage);
  } catch (const SourceError& error) {
    throw Unreadable{"its properties cannot be read (" + DamageReason(error) + ")"};
  }
  for (const auto& block : blocks) {
    if (!block.owner.empty() && !NameEqual(block.owner, object.name)) continue;
    for (const auto& [name, value] : block.values) {
      if (NameEqual(name, "ColumnHeadings") && !value.IsNull()) return value.ToText();
    }
  }
  return {};
}

QueryDefinition Assemble(std::vector<const QueryRow*> rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const QueryRow* a, const QueryRow* b) {
    return a->attribute != b->attribute ? a->attribute < b->attribute : a->order < b->order;
  });
  QueryDefinition definition;
  auto kindRows = std::count_if(rows.begin(), rows.end(), [](const QueryRow* row) {
    return row->attribute == static_cast<uint8_t>(QueryAttribute::Kind);
  });
  if (kindRows != 1) {
    throw Unreadable{kindRows == 0 ? "its kind is not stored" : "it names its kind more than once"};
  }
  for (const QueryRow* row : rows) {
    if (row->attribute == static_cast<uint8_t>(QueryAttribute::Kind)) {
      definition.kind = KindOf(*row);
    }
  }
  const QueryKind kind = definition.kind;
  for (const QueryRow* row : rows) {
    switch (static_cast<QueryAttribute>(row->attribute)) {
      case QueryAttribute::Start:
      case QueryAttribute::End:
        break;
      case QueryAttribute::Kind:
        if (kind == QueryKind::PassThrough) {
          definition.connect = row->name1;
        } else {
          definition.target = row->name1;
          definition.targetDatabase = row->name2;
        }
        definition.statement = row->expression;
        break;
      case QueryAttribute::Parameter:
        if (row->name1.empty()) throw Unreadable{"a parameter of it has no name"};
        definition.parameters.push_back({row->name1, ParameterType(*row)});
        break;
      case QueryAttribute::Options: {
        const int32_t flags = row->flag.value_or(0);
        // A union keeps its duplicate rows (UNION ALL) unless told to drop
        // them as DISTINCT drops them: Access writes 3 for UNION, 1 for ALL.
        if (kind == QueryKind::Union) {
          definition.unionAll = (flags & 0x02) == 0;
          break;
        }
        definition.allColumns = (flags & 0x01) != 0;
        definition.distinct = (flags & 0x02) != 0;
        definition.ownerAccess = (flags & 0x04) != 0;
        definition.distinctRow = (flags & 0x08) != 0;
        if ((flags & 0x10) != 0) {
          definition.top = row->name1.empty() ? row->expression : row->name1;
          if (definition.top.empty()) throw Unreadable{"it asks for the TOP rows but not how many"};
          definition.topPercent = (flags & 0x20) != 0;
        }
        break;
      }
      case QueryAttribute::SourceDatabase:
        definition.sourceDatabase = row->name1;
        definition.sourceConnect = row->name2.empty() ? row->expression : row->name2;
        break;
      case QueryAttribute::Table:
        if (kind == QueryKind::Union) {
          definition.unionParts.push_back(row->expression.empty() ? "TABLE " + SqlName(row->name1)
                                                                  : row->expression);
          break;
        }
        if (row->name1.empty() && (row->expression.empty() || row->name2.empty())) {
          throw Unreadable{"a table it reads has no name"};
        }
        definition.sources.push_back({row->name1, row->name2, row->expression});
        break;
      case QueryAttribute::Column:
        if (row->expression.empty()) throw Unreadable{"a column of it has no expression"};
        definition.columns.push_back({row->expression, row->name1, row->name2, RoleOf(*row, kind)});
        break;
      case QueryAttribute::Join: {
        const int32_t flag = row->flag.value_or(0);
        if (flag < 1 || flag > 3) {
          throw Unreadable{"a join of it has the unknown kind " + std::to_string(flag)};
        }
        definition.joins.push_back(
            {static_cast<JoinKind>(flag - 1), row->name1, row->name2, row->expression});
        break;
      }
      case QueryAttribute::Where:
        definition.where = row->expression;
        break;
      case QueryAttribute::GroupBy:
        definition.groupBy.push_back({row->expression, {}, {}, RoleOf(*row, kind)});
        break;
      case QueryAttribute::Having:
        definition.having = row->expression;
        break;
      case QueryAttribute::OrderBy:
        definition.orderBy.push_back(
            {row->expression,
             !row->name1.empty() && (row->name1[0] == 'D' || row->name1[0] == 'd')});
        break;
      default:
        throw Unreadable{"it holds a row of the unknown attribute " +
                         std::to_string(row->attribute)};
    }
  }
  // A query that names no column yields all of them.
  if (definition.columns.empty() && kind != QueryKind::Update) definition.allColumns = true;
  // Access reads at most 32 tables in a query; far more would only nest the
  // FROM clause deeper than anything Access writes.
  if (definition.sources.size() > kMaxSources || definition.joins.size() > kMaxJoins) {
    throw Unreadable{"it reads more tables or joins than Access allows"};
  }
  for (const QueryJoin& join : definition.joins) {
    for (const std::string* side : {&join.left, &join.right}) {
      if (!Has(definition, *side)) {
        throw Unreadable{"a join of it names " + *side + ", which it does not read"};
      }
    }
  }
  switch (kind) {
    case QueryKind::Union:
      if (definition.unionParts.size() < 2) throw Unreadable{"its union has fewer than two parts"};
      break;
    case QueryKind::Crosstab: {
      auto count = [&](CrosstabRole role) {
        return std::count_if(definition.columns.begin(), definition.columns.end(),
                             [&](const QueryColumn& c) { return c.role == role; });
      };
      if (count(CrosstabRole::Value) != 1 || count(CrosstabRole::ColumnHeading) != 1) {
        throw Unreadable{"its crosstab lacks its one value or its one column heading"};
      }
      break;
    }
    case QueryKind::MakeTable:
    case QueryKind::Append:
      if (definition.target.empty()) throw Unreadable{"it names no table to write"};
      break;
    case QueryKind::PassThrough:
    case QueryKind::DataDefinition:
      if (definition.statement.empty()) throw Unreadable{"it holds no statement"};
      break;
    default:
      break;
  }
  return definition;
}

// The record sources of forms, reports and their controls, which Access
// keeps as queries named "~sq_..." and flags as its own objects.
constexpr uint32_t kSystemQueryFlag = 0x2;

bool IsHiddenQuery(const jet::CatalogueObject& object) {
  const std::string& name = object.name;
  return (object.flags & kSystemQueryFlag) != 0 ||
         (name.size() >= 4 && name[0] == '~' && NameEqual(name.substr(1, 3), "sq_"));
}

}  // namespace

void ReadQueries(DatabaseData& data) {
  const jet::Database& database = *data.database;
  std::vector<const jet::CatalogueObject*> objects;
  for (const jet::CatalogueObject& object : database.objects) {
    if (object.kind == static_cast<int16_t>(jet::ObjectKind::Query) && !IsHiddenQuery(object)) {
      objects.push_back(&object);
    }
  }
  if (objects.empty()) return;
  const std::string unknown = "; the file's saved queries are unknown and none of them is kept.";
  const TableData* system = nullptr;
  for (const auto& table : data.tableData) {
    if (table->type == "SYSTEM TABLE" && NameEqual(table->name, "MSysQueries"))
      system = table.get();
  }
  if (system == nullptr || !system->definition) {
    data.damage.push_back("The table of the file's saved queries, MSysQueries, cannot be read (" +
                          std::string(system == nullptr ? "the file does not hold it"
                                                        : "its definition cannot be read") +
                          ")" + unknown);
    return;
  }
  std::vector<jet::QueryRow> rows;
  std::vector<jet::QueryRowDamage> rowDamage;
  std::vector<std::string> unplaced;
  try {
    rows = jet::ReadQueryRows(database.file, database.header.format, database.header.codePage,
                              system->definition, rowDamage, unplaced);
  } catch (const SourceError& error) {
    data.damage.push_back("The table of the file's saved queries, MSysQueries, cannot be read (" +
                          DamageReason(error) + ")" + unknown);
    return;
  }
  for (const std::string& reason : unplaced) {
    data.damage.push_back(
        "A row of the table of the file's saved queries, MSysQueries, cannot be read (" + reason +
        "); the query it belongs to may be incomplete.");
  }
  std::map<int32_t, std::vector<const QueryRow*>> byObject;
  for (const QueryRow& row : rows) byObject[row.objectId].push_back(&row);
  for (const jet::CatalogueObject* object : objects) {
    Query query;
    query.name = object->name;
    try {
      auto damaged = std::find_if(rowDamage.begin(), rowDamage.end(),
                                  [&](const auto& d) { return d.objectId == object->id; });
      if (damaged != rowDamage.end()) {
        throw Unreadable{"a row of it cannot be read: " + damaged->reason};
      }
      auto found = byObject.find(object->id);
      if (found == byObject.end()) throw Unreadable{"MSysQueries holds no row of it"};
      query.definition = Assemble(found->second);
      if (query.definition.kind == QueryKind::Crosstab) {
        query.definition.pivotValues = ColumnHeadings(*object, database.header);
      }
    } catch (const Unreadable& error) {
      data.damage.push_back("The saved query " + object->name + " cannot be read (" + error.why +
                            "); it is left out.");
      continue;
    }
    query.sql = AccessSql(query.definition, database.header.format.jet3);
    data.queries.push_back(std::move(query));
  }
  std::stable_sort(data.queries.begin(), data.queries.end(),
                   [](const Query& a, const Query& b) { return NameLess(a.name, b.name); });
}

}  // namespace bracken::source
