#include "engine/views/view_creation.h"

#include <map>

#include "engine/run_report.h"
#include "engine/schema/identifier.h"
#include "engine/schema/name_spelling.h"
#include "engine/schema/rule_clauses.h"

namespace bracken::engine {

namespace {

// Access finds the names of tables and queries without regard to case.
std::string NameKey(const std::string& name) { return ColumnNameKey(name, false); }

enum class Progress { Pending, Made, NotMade };

// The Access SQL on one line, as a report line holds it.
std::string OneLine(const std::string& sql) {
  std::string line;
  for (char c : sql) {
    if (c == '\r') continue;
    if (c == '\n') {
      if (!line.empty() && line.back() != ' ') line += ' ';
      continue;
    }
    line += c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// Whether `name`, read by `query` and not a query of the file, must be a
// table converted into this database: not for a query of another database
// or of a server (the translator names those), nor for the table a
// make-table query creates.
bool ReadsTablesHere(const source::QueryDefinition& query, const std::string& name) {
  using source::QueryKind;
  if (query.kind == QueryKind::PassThrough || query.kind == QueryKind::DataDefinition) return false;
  if (!query.sourceDatabase.empty() || !query.sourceConnect.empty()) return false;
  const bool target = NameKey(name) == NameKey(query.target);
  return !(target && (query.kind == QueryKind::MakeTable || !query.targetDatabase.empty()));
}

}  // namespace

QueryCatalog ConvertedTablesCatalog(ConversionContext& context) {
  QueryCatalog catalog;
  for (const TablePlan& plan : context.convertedTables) {
    ReadableObject object{plan.sourceName, plan.targetName, {}};
    try {
      for (const ColumnDescription& field : context.source.Columns(plan.sourceName)) {
        object.columns.push_back(ColumnReference(field, plan.TargetName(field.name)));
      }
    } catch (const source::SourceError&) {
      object.columns.clear();
      for (const ColumnPlan& column : plan.columns) {
        object.columns.push_back({column.sourceName, QuoteIdentifier(column.targetName)});
      }
    }
    catalog.objects.push_back(std::move(object));
  }
  return catalog;
}

namespace {

// A text parameter takes utf8mb4 and the collation of the conversion's
// utf8mb4 columns: without them it would take the database's default
// character set (latin1 on many servers), refuse any other character a
// caller gives, and compare with the tables' text by another collation.
std::string ParameterType(const std::string& type, const std::string& textCollation) {
  const bool text = type.rfind("VARCHAR", 0) == 0 || type.rfind("CHAR(", 0) == 0 ||
                    type.find("TEXT") != std::string::npos;
  if (!text) return type;
  return type + " CHARACTER SET utf8mb4" +
         (textCollation.empty() ? std::string() : " COLLATE " + textCollation);
}

}  // namespace

std::string CreateStatement(const std::string& targetName, const QueryTranslation& translation,
                            const std::string& textCollation) {
  if (translation.kind == QueryObjectKind::View) {
    return "CREATE VIEW " + QuoteIdentifier(targetName) + " AS " + translation.body;
  }
  std::string statement = "CREATE PROCEDURE " + QuoteIdentifier(targetName) + "(";
  for (std::size_t i = 0; i < translation.parameters.size(); ++i) {
    const ProcedureParameter& parameter = translation.parameters[i];
    statement += (i > 0 ? ", IN " : "IN ") + QuoteIdentifier(parameter.name) + " " +
                 ParameterType(parameter.type, textCollation);
  }
  return statement + ")\nBEGIN\n" + translation.body + "\nEND";
}

std::vector<QueryOutcome> PlaceQueries(ConversionContext& context,
                                       const std::vector<source::Query>& queries,
                                       const MakeQueryObject& make) {
  QueryCatalog known = ConvertedTablesCatalog(context);
  const expression::ServerDialect dialect = TargetDialect(context);
  std::map<std::string, std::size_t> byName;
  std::vector<std::vector<std::string>> reads;
  for (std::size_t i = 0; i < queries.size(); ++i) {
    byName.emplace(NameKey(queries[i].name), i);
    reads.push_back(NamesRead(queries[i].definition));
  }
  std::vector<Progress> progress(queries.size(), Progress::Pending);
  std::vector<QueryObjectKind> kinds(queries.size(), QueryObjectKind::View);
  std::vector<QueryOutcome> outcomes;

  // Why `query` cannot be made for what it reads, once the queries it reads
  // are done with; "" when it can. `waits` when one of them is not done yet.
  auto blocked = [&](std::size_t index, bool& waits) -> std::string {
    waits = false;
    std::string reason;
    const source::QueryDefinition& definition = queries[index].definition;
    for (const std::string& name : reads[index]) {
      const auto found = byName.find(NameKey(name));
      if (found == byName.end()) {
        if (reason.empty() && ReadsTablesHere(definition, name) && known.Find(name) == nullptr) {
          reason = "it reads " + Bracketed(name) + ", which was not converted";
        }
        continue;
      }
      const std::size_t other = found->second;
      if (other == index) {
        if (reason.empty()) reason = "it reads itself";
      } else if (progress[other] == Progress::Pending) {
        waits = true;
        return "";
      } else if (reason.empty() && progress[other] == Progress::NotMade) {
        reason = "it reads the query " + Bracketed(name) + ", which was not converted";
      } else if (reason.empty() && kinds[other] == QueryObjectKind::Procedure) {
        reason = "it reads the query " + Bracketed(name) +
                 ", which became a procedure (MySQL cannot read a procedure's rows)";
      }
    }
    return reason;
  };

  auto place = [&](std::size_t index, std::string reason) {
    const source::Query& query = queries[index];
    QueryOutcome outcome{query.name, query.sql, "", QueryObjectKind::View, "", std::move(reason)};
    if (outcome.reason.empty()) {
      QueryTranslation translation = TranslateQuery(query.definition, known, dialect);
      if (!translation.ok()) {
        outcome.reason = "not translatable, because " + translation.reason;
      } else {
        outcome.kind = translation.kind;
        outcome.targetName = context.tableNames.Claim(query.name, "Query");
        outcome.statement =
            CreateStatement(outcome.targetName, translation, context.extendedTextCollation);
        outcome.reason = make(outcome);
        if (outcome.made() && translation.kind == QueryObjectKind::View) {
          known.objects.push_back({query.name, outcome.targetName, translation.columns});
        }
      }
    }
    progress[index] = outcome.made() ? Progress::Made : Progress::NotMade;
    kinds[index] = outcome.kind;
    outcomes.push_back(std::move(outcome));
  };

  auto stopped = [&] { return context.stopRequested || context.stoppedDuringWait; };
  for (bool advanced = true; advanced;) {
    advanced = false;
    for (std::size_t i = 0; i < queries.size(); ++i) {
      if (progress[i] != Progress::Pending) continue;
      bool waits = false;
      std::string reason = blocked(i, waits);
      if (waits) continue;
      if (stopped()) return outcomes;
      place(i, std::move(reason));
      advanced = true;
    }
  }
  // What is left reads itself through other queries, or reads such a query.
  for (std::size_t i = 0; i < queries.size(); ++i) {
    if (progress[i] != Progress::Pending) continue;
    std::string waitsFor;
    for (const std::string& name : reads[i]) {
      const auto found = byName.find(NameKey(name));
      if (found != byName.end() && progress[found->second] == Progress::Pending) {
        waitsFor = name;
        break;
      }
    }
    place(i, "it reads the query " + Bracketed(waitsFor) +
                 ", and the queries it reads read it in turn (a circle)");
  }
  return outcomes;
}

std::string QueryNotConvertedLine(const QueryOutcome& outcome) {
  return "Query " + Bracketed(outcome.accessName) + " was not converted: " + outcome.reason +
         ". Access SQL: " + OneLine(outcome.accessSql);
}

void CreateQueryObjects(ConversionOwner& owner, ConversionContext& context) {
  if (!context.carryQueries) return;
  std::vector<source::Query> queries;
  try {
    queries = context.source.Queries();
  } catch (const source::SourceError&) {
    // The file's damage is named at the start of the run.
  }
  if (queries.empty()) return;
  StatementExecutor& server = context.executor;
  auto make = [&](const QueryOutcome& outcome) -> std::string {
    if (server.Execute(outcome.statement)) return "";
    return "the server refused it: " + server.ErrorText();
  };
  for (const QueryOutcome& outcome : PlaceQueries(context, queries, make)) {
    if (!outcome.made()) {
      ++context.summary.queriesNotCreated;
      Report(owner, context.summary, QueryNotConvertedLine(outcome));
    } else if (outcome.targetName != outcome.accessName) {
      const bool legal = !outcome.accessName.empty() &&
                         LegalSpelling(outcome.accessName, "") == outcome.accessName;
      Report(owner, context.summary,
             "Query " + Bracketed(outcome.accessName) + " is created as " +
                 Bracketed(outcome.targetName) + " (" +
                 (legal ? "a table or another query has that name in MySQL"
                        : "MySQL does not accept the name as it is") +
                 ").");
    }
  }
}

}  // namespace bracken::engine
