// Action queries as the bodies of stored procedures.

#include "engine/views/action_translation.h"

#include <algorithm>
#include <optional>

#include "engine/schema/identifier.h"
#include "engine/schema/name_spelling.h"
#include "engine/views/select_translation.h"
#include "expression/parser.h"

namespace bracken::engine {

namespace {

using source::QueryDefinition;
using source::QueryKind;

bool SameName(std::string_view a, std::string_view b) {
  return ColumnNameKey(a, false) == ColumnNameKey(b, false);
}

QueryTranslation Refused(std::string reason) {
  QueryTranslation translation;
  translation.reason = std::move(reason);
  return translation;
}

// The parts of a column's name as written ("[Orders].[Total]" gives
// Orders, Total); nullopt for anything but a name.
std::optional<std::vector<std::string>> NameParts(std::string_view text) {
  try {
    expression::NodePtr node = expression::Parse(text);
    if (node->kind != expression::Node::Kind::Name || node->parts.empty() ||
        node->parts.size() > 2) {
      return std::nullopt;
    }
    return node->parts;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// The SELECT an append or make-table query writes from.
QueryDefinition SelectOf(const QueryDefinition& query) {
  QueryDefinition select = query;
  select.kind = QueryKind::Select;
  select.target.clear();
  select.targetDatabase.clear();
  for (source::QueryColumn& column : select.columns) column.target.clear();
  return select;
}

bool Reads(const QueryDefinition& query, const std::string& name) {
  for (const source::QuerySource& source : query.sources) {
    if (!source.name.empty() && SameName(source.name, name)) return true;
  }
  return false;
}

QueryTranslation Procedure(std::string body, const QueryParameters& parameters) {
  if (!parameters.reason().empty()) return Refused(parameters.reason());
  QueryTranslation translation;
  translation.kind = QueryObjectKind::Procedure;
  translation.body = std::move(body);
  translation.parameters = parameters.list();
  return translation;
}

QueryTranslation Append(const QueryDefinition& query, const QueryCatalog& known,
                        const expression::ServerDialect& server, QueryParameters& parameters) {
  const ReadableObject* target = known.Find(query.target);
  if (target == nullptr) {
    return Refused("it appends to " + query.target + ", which is not among the converted tables");
  }
  SelectTranslation select = TranslateSelect(SelectOf(query), known, server, parameters);
  if (!select.ok()) return Refused(select.reason);
  // The target's column for each output column: named in the query, or
  // else the one of the output column's own name.
  bool named = !query.allColumns && !query.columns.empty();
  for (const source::QueryColumn& column : query.columns) named = named && !column.target.empty();
  std::vector<std::string> names;
  if (named) {
    for (const source::QueryColumn& column : query.columns) {
      auto parts = NameParts(column.target);
      if (!parts) return Refused("it appends to " + column.target + ", which is no column name");
      names.push_back(parts->back());
    }
  } else {
    for (const expression::ColumnRef& column : select.columns) names.push_back(column.accessName);
  }
  if (names.size() != select.columns.size()) {
    return Refused("it appends a different number of columns than it selects");
  }
  std::string columns;
  for (size_t i = 0; i < names.size(); ++i) {
    const expression::ColumnRef* found = nullptr;
    for (const expression::ColumnRef& column : target->columns) {
      if (SameName(column.accessName, names[i])) found = &column;
    }
    if (found == nullptr) {
      return Refused("it appends to the column " + names[i] + ", which " + query.target +
                     " does not have");
    }
    for (size_t j = 0; j < i; ++j) {
      if (SameName(names[i], names[j])) {
        return Refused("it appends to the column " + names[i] + " of " + query.target + " twice");
      }
    }
    columns += (columns.empty() ? "" : ", ") + found->sql;
  }
  return Procedure("INSERT INTO " + QuoteIdentifier(target->targetName) + " (" + columns + ") " +
                       select.sql + ";",
                   parameters);
}

QueryTranslation MakeTable(const QueryDefinition& query, const QueryCatalog& known,
                           const expression::ServerDialect& server, QueryParameters& parameters) {
  if (Reads(query, query.target)) {
    return Refused("it makes the table " + query.target +
                   " from its own rows, which replacing it would lose first");
  }
  SelectTranslation select = TranslateSelect(SelectOf(query), known, server, parameters);
  if (!select.ok()) return Refused(select.reason);
  // A table of the file keeps the name it was converted to; a new table
  // gets the nearest name the server accepts.
  const ReadableObject* existing = known.Find(query.target);
  const std::string name = QuoteIdentifier(
      existing != nullptr ? existing->targetName : LegalSpelling(query.target, "Table"));
  return Procedure(
      "DROP TABLE IF EXISTS " + name + ";\nCREATE TABLE " + name + " AS " + select.sql + ";",
      parameters);
}

QueryTranslation Update(const QueryDefinition& query, const QueryCatalog& known,
                        const expression::ServerDialect& server, QueryParameters& parameters) {
  QueryScope scope(query, known, server, parameters);
  if (!scope.reason().empty()) return Refused(scope.reason());
  if (query.columns.empty()) return Refused("it sets no column");
  std::vector<std::string> targets;
  std::string sets;
  for (const source::QueryColumn& column : query.columns) {
    const size_t before = parameters.list().size();
    expression::Translation target = scope.Translate(column.target);
    const bool parameter = std::any_of(
        parameters.list().begin(), parameters.list().end(),
        [&](const ProcedureParameter& p) { return target.sql.find(p.name) != std::string::npos; });
    if (!NameParts(column.target) || !target.ok() || parameters.list().size() != before ||
        parameter || target.constant) {
      return Refused("it sets " + column.target + ", which is no column of the tables it reads");
    }
    expression::Translation value = scope.Translate(column.expression);
    if (!value.ok()) return Refused(value.reason);
    for (size_t j = 0; j < targets.size(); ++j) {
      if (value.sql.find(targets[j]) != std::string::npos) {
        return Refused("it sets " + query.columns[j].target +
                       " and reads it in a later assignment, where Access reads the value "
                       "before the update and the server the value after it");
      }
    }
    targets.push_back(target.sql);
    sets += (sets.empty() ? "" : ", ") + target.sql + " = " + value.sql;
  }
  std::string body = "UPDATE " + scope.from() + " SET " + sets;
  if (!query.where.empty()) {
    expression::Translation where = scope.Translate(query.where);
    if (!where.ok()) return Refused(where.reason);
    body += " WHERE " + where.sql;
  }
  return Procedure(body + ";", parameters);
}

// The reference of the one source whose rows a delete query removes.
std::optional<std::string> DeletedSource(const QueryDefinition& query) {
  if (query.sources.size() == 1) return query.sources.front().Reference();
  std::optional<std::string> reference;
  for (const source::QueryColumn& column : query.columns) {
    std::string text = column.expression;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".*") == 0) {
      text = text.substr(0, text.size() - 2);
      if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
        text = text.substr(1, text.size() - 2);
      }
    } else {
      auto parts = NameParts(text);
      if (!parts || parts->size() != 2) return std::nullopt;
      text = parts->front();
    }
    if (reference && !SameName(*reference, text)) return std::nullopt;
    reference = text;
  }
  return reference;
}

QueryTranslation Delete(const QueryDefinition& query, const QueryCatalog& known,
                        const expression::ServerDialect& server, QueryParameters& parameters) {
  std::optional<std::string> reference = DeletedSource(query);
  const source::QuerySource* deleted = nullptr;
  for (const source::QuerySource& source : query.sources) {
    if (reference && SameName(source.Reference(), *reference)) deleted = &source;
  }
  if (deleted == nullptr || deleted->name.empty()) {
    return Refused("it does not name the one table whose rows it deletes");
  }
  QueryScope scope(query, known, server, parameters);
  if (!scope.reason().empty()) return Refused(scope.reason());
  // The name the FROM clause gives the table: the leading quoted name of
  // its columns as the scope writes them ("`o`.`Total`").
  std::string name = QuoteIdentifier(deleted->Reference());
  auto columns = scope.Expand(deleted->Reference());
  if (columns && !columns->empty() && !columns->front().sql.empty() &&
      columns->front().sql.front() == '`') {
    const std::string& sql = columns->front().sql;
    size_t end = 1;
    while (end < sql.size() &&
           !(sql[end] == '`' && (end + 1 >= sql.size() || sql[end + 1] != '`'))) {
      end += sql[end] == '`' ? 2 : 1;
    }
    name = sql.substr(0, end + 1);
  }
  std::string body = "DELETE " + name + " FROM " + scope.from();
  if (!query.where.empty()) {
    expression::Translation where = scope.Translate(query.where);
    if (!where.ok()) return Refused(where.reason);
    body += " WHERE " + where.sql;
  }
  return Procedure(body + ";", parameters);
}

}  // namespace

QueryTranslation TranslateAction(const QueryDefinition& query, const QueryCatalog& known,
                                 const expression::ServerDialect& server) {
  if (!query.targetDatabase.empty()) {
    return Refused("it writes " + query.target + " in another database (" + query.targetDatabase +
                   ")");
  }
  QueryParameters parameters(query.parameters);
  if (!parameters.reason().empty()) return Refused(parameters.reason());
  switch (query.kind) {
    case QueryKind::Append:
      return Append(query, known, server, parameters);
    case QueryKind::MakeTable:
      return MakeTable(query, known, server, parameters);
    case QueryKind::Update:
      return Update(query, known, server, parameters);
    case QueryKind::Delete:
      return Delete(query, known, server, parameters);
    default:
      return Refused("it is no action query");
  }
}

}  // namespace bracken::engine
