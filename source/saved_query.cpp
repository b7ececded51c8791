// The Access SQL of a saved query, built from its parts.

#include "source/saved_query.h"

#include <memory>

namespace bracken::source {

namespace {

constexpr char kLine[] = "\r\n";

unsigned char Fold(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

// A join of two parts of the FROM clause, or one source.
struct FromNode {
  const QuerySource* source = nullptr;
  JoinKind kind = JoinKind::Inner;
  std::unique_ptr<FromNode> left;
  std::unique_ptr<FromNode> right;
  std::vector<std::string> conditions;

  bool Holds(std::string_view reference) const {
    if (source != nullptr) return SameName(source->Reference(), reference);
    return left->Holds(reference) || right->Holds(reference);
  }
};

std::string SourceText(const QuerySource& source) {
  std::string text = source.name.empty() ? "(" + source.subquery + ")" : SqlName(source.name);
  if (!source.alias.empty()) text += " AS " + SqlName(source.alias);
  return text;
}

std::string NodeText(const FromNode& node, bool nested) {
  if (node.source != nullptr) return SourceText(*node.source);
  static constexpr std::string_view kKinds[] = {" INNER JOIN ", " LEFT JOIN ", " RIGHT JOIN "};
  std::string text = NodeText(*node.left, true) + std::string(kKinds[static_cast<int>(node.kind)]) +
                     NodeText(*node.right, true) + " ON ";
  if (node.conditions.size() == 1) {
    text += node.conditions.front();
  } else {
    for (size_t i = 0; i < node.conditions.size(); ++i) {
      text += (i > 0 ? ") AND (" : "(") + node.conditions[i];
    }
    text += ")";
  }
  return nested ? "(" + text + ")" : text;
}

// Adds a condition between two references already in one part to the join
// that first brings them together.
void AddCondition(FromNode& node, const QueryJoin& join) {
  if (node.source == nullptr) {
    const bool leftHere = node.left->Holds(join.left) && node.left->Holds(join.right);
    const bool rightHere = node.right->Holds(join.left) && node.right->Holds(join.right);
    if (leftHere) return AddCondition(*node.left, join);
    if (rightHere) return AddCondition(*node.right, join);
    node.conditions.push_back(join.condition);
  }
}

// The FROM clause: the sources no join names in their own order, each group
// of joined sources nested in the order its joins are kept.
std::string FromText(const QueryDefinition& definition) {
  std::vector<std::unique_ptr<FromNode>> parts;
  for (const QuerySource& source : definition.sources) {
    auto node = std::make_unique<FromNode>();
    node->source = &source;
    parts.push_back(std::move(node));
  }
  auto find = [&](std::string_view reference) {
    for (size_t i = 0; i < parts.size(); ++i) {
      if (parts[i]->Holds(reference)) return i;
    }
    return parts.size();
  };
  for (const QueryJoin& join : definition.joins) {
    size_t left = find(join.left);
    size_t right = find(join.right);
    if (left == parts.size() || right == parts.size()) continue;  // checked when read
    if (left == right) {
      AddCondition(*parts[left], join);
      continue;
    }
    auto node = std::make_unique<FromNode>();
    node->kind = join.kind;
    node->left = std::move(parts[left]);
    node->right = std::move(parts[right]);
    node->conditions.push_back(join.condition);
    parts[std::min(left, right)] = std::move(node);
    parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(std::max(left, right)));
  }
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + NodeText(*part, false);
  if (!definition.sourceDatabase.empty() || !definition.sourceConnect.empty()) {
    text += " IN '" + definition.sourceDatabase + "'";
    if (!definition.sourceConnect.empty()) text += " [" + definition.sourceConnect + "]";
  }
  return text;
}

std::string ColumnText(const QueryColumn& column) {
  return column.alias.empty() ? column.expression
                              : column.expression + " AS " + SqlName(column.alias);
}

std::string ColumnList(const std::vector<QueryColumn>& columns, bool allColumns) {
  std::string text = allColumns ? "*" : "";
  for (const QueryColumn& column : columns) {
    text += (text.empty() ? "" : ", ") + ColumnText(column);
  }
  return text;
}

std::string Predicate(const QueryDefinition& definition) {
  std::string text;
  if (definition.distinct) text += "DISTINCT ";
  if (definition.distinctRow) text += "DISTINCTROW ";
  if (!definition.top.empty()) {
    text += "TOP " + definition.top + (definition.topPercent ? " PERCENT " : " ");
  }
  return text;
}

std::string ParameterType(const QueryParameter& parameter, bool jet3) {
  return parameter.type == "Text" && !jet3 ? "Text ( 255 )" : parameter.type;
}

std::string ParameterName(const std::string& name) {
  return name.find('[') != std::string::npos ? name : SqlName(name);
}

std::string TargetText(const QueryDefinition& definition) {
  std::string text = SqlName(definition.target);
  if (!definition.targetDatabase.empty()) text += " IN '" + definition.targetDatabase + "'";
  return text;
}

// FROM, WHERE, GROUP BY, HAVING and ORDER BY, each on its own line.
std::string Clauses(const QueryDefinition& definition, bool withFrom) {
  std::string text;
  if (withFrom && !definition.sources.empty()) text += kLine + ("FROM " + FromText(definition));
  if (!definition.where.empty()) text += kLine + ("WHERE " + definition.where);
  std::string groups;
  for (const QueryColumn& group : definition.groupBy) {
    if (group.role == CrosstabRole::ColumnHeading) continue;
    groups += (groups.empty() ? "" : ", ") + group.expression;
  }
  if (!groups.empty()) text += kLine + ("GROUP BY " + groups);
  if (!definition.having.empty()) text += kLine + ("HAVING " + definition.having);
  std::string order;
  for (const QueryOrder& item : definition.orderBy) {
    order += (order.empty() ? "" : ", ") + item.expression + (item.descending ? " DESC" : "");
  }
  if (!order.empty()) text += kLine + ("ORDER BY " + order);
  return text;
}

std::vector<QueryColumn> ColumnsOf(const QueryDefinition& definition, CrosstabRole role) {
  std::vector<QueryColumn> columns;
  for (const QueryColumn& column : definition.columns) {
    if (column.role == role) columns.push_back(column);
  }
  return columns;
}

std::string StatementText(std::string text) {
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

std::string UnionText(const QueryDefinition& definition) {
  std::string text;
  for (const std::string& part : definition.unionParts) {
    if (!text.empty()) {
      while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
      }
      text += kLine + std::string(definition.unionAll ? "UNION ALL " : "UNION ");
    }
    text += part;
  }
  return text + Clauses(definition, false);
}

}  // namespace

std::string_view QueryKindName(QueryKind kind) {
  switch (kind) {
    case QueryKind::Select:
      return "select";
    case QueryKind::Crosstab:
      return "crosstab";
    case QueryKind::MakeTable:
      return "make-table";
    case QueryKind::Append:
      return "append";
    case QueryKind::Update:
      return "update";
    case QueryKind::Delete:
      return "delete";
    case QueryKind::Union:
      return "union";
    case QueryKind::PassThrough:
      return "pass-through";
    case QueryKind::DataDefinition:
      return "data-definition";
  }
  return "";
}

std::string SqlName(std::string_view name) {
  bool plain = !name.empty() && !(name.front() >= '0' && name.front() <= '9');
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80 &&
        !((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_')) {
      plain = false;
    }
  }
  return plain ? std::string(name) : "[" + std::string(name) + "]";
}

std::string AccessSql(const QueryDefinition& definition, bool jet3) {
  if (definition.kind == QueryKind::PassThrough || definition.kind == QueryKind::DataDefinition) {
    return StatementText(definition.statement);
  }
  std::string sql;
  if (!definition.parameters.empty()) {
    sql = "PARAMETERS ";
    for (size_t i = 0; i < definition.parameters.size(); ++i) {
      const QueryParameter& parameter = definition.parameters[i];
      sql += (i > 0 ? ", " : "") + ParameterName(parameter.name) + " " +
             ParameterType(parameter, jet3);
    }
    sql += std::string(";") + kLine;
  }
  const std::string select = "SELECT " + Predicate(definition);
  switch (definition.kind) {
    case QueryKind::Select:
      sql += select + ColumnList(definition.columns, definition.allColumns) +
             Clauses(definition, true);
      break;
    case QueryKind::MakeTable:
      sql += select + ColumnList(definition.columns, definition.allColumns) + " INTO " +
             TargetText(definition) + Clauses(definition, true);
      break;
    case QueryKind::Append: {
      std::string targets;
      bool everyTarget = !definition.columns.empty();
      for (const QueryColumn& column : definition.columns) {
        everyTarget = everyTarget && !column.target.empty();
        targets += (targets.empty() ? "" : ", ") + column.target;
      }
      sql += "INSERT INTO " + TargetText(definition) + (everyTarget ? " ( " + targets + " )" : "") +
             kLine + select + ColumnList(definition.columns, definition.allColumns) +
             Clauses(definition, true);
      break;
    }
    case QueryKind::Update: {
      std::string sets;
      for (const QueryColumn& column : definition.columns) {
        sets += (sets.empty() ? "" : ", ") + column.target + " = " + column.expression;
      }
      sql += "UPDATE " + Predicate(definition) + FromText(definition) + " SET " + sets +
             Clauses(definition, false);
      break;
    }
    case QueryKind::Delete:
      sql += "DELETE " + Predicate(definition) +
             ColumnList(definition.columns, definition.allColumns) + Clauses(definition, true);
      break;
    case QueryKind::Crosstab: {
      std::string pivot;
      for (const QueryColumn& column : ColumnsOf(definition, CrosstabRole::ColumnHeading)) {
        pivot += (pivot.empty() ? "" : ", ") + column.expression;
      }
      sql += "TRANSFORM " + ColumnList(ColumnsOf(definition, CrosstabRole::Value), false) + kLine +
             select + ColumnList(ColumnsOf(definition, CrosstabRole::RowHeading), false) +
             Clauses(definition, true) + kLine + "PIVOT " + pivot;
      if (!definition.pivotValues.empty()) sql += " IN (" + definition.pivotValues + ")";
      break;
    }
    case QueryKind::Union:
      sql += UnionText(definition);
      break;
    case QueryKind::PassThrough:
    case QueryKind::DataDefinition:
      break;
  }
  if (definition.ownerAccess) sql += kLine + std::string("WITH OWNERACCESS OPTION");
  while (!sql.empty() && (sql.back() == '\r' || sql.back() == '\n' || sql.back() == ' ')) {
    sql.pop_back();
  }
  if (sql.empty() || sql.back() != ';') sql += ";";
  return sql;
}

}  // namespace bracken::source
