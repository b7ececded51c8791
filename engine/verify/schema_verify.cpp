#include "engine/verify/schema_verify.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

#include "engine/rows/value_literal.h"
#include "engine/run_report.h"
#include "engine/schema/check_constraints.h"
#include "engine/schema/column_definitions.h"
#include "engine/schema/foreign_keys.h"
#include "engine/schema/identifier.h"
#include "engine/schema/rule_clauses.h"
#include "target/mysql_connection.h"

namespace bracken::engine {

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

std::string Quoted(const std::string& text) { return "'" + EscapeText(text) + "'"; }

// The text of a literal EscapeText wrote, between its quotes.
std::string Unescaped(std::string_view literal) {
  std::string text;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] == '\\' && i + 1 < literal.size()) {
      ++i;
      text += literal[i] == '0' ? '\0' : literal[i];
    } else {
      text += literal[i];
    }
  }
  return text;
}

// The text of " COMMENT '...'" or " COMMENT='...'"; "" for no clause.
std::string CommentText(const std::string& clause) {
  const std::size_t open = clause.find('\'');
  if (open == std::string::npos || clause.size() < open + 2) return "";
  return Unescaped(std::string_view(clause).substr(open + 1, clause.size() - open - 2));
}

bool SameNumber(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  char* endA = nullptr;
  char* endB = nullptr;
  const double x = std::strtod(a.c_str(), &endA);
  const double y = std::strtod(b.c_str(), &endB);
  return *endA == '\0' && *endB == '\0' && x == y;
}

// Whether the server's COLUMN_DEFAULT `found` holds the planned `value` (the
// text after " DEFAULT "). MariaDB quotes a text default and MySQL does not;
// numbers come back in the column's own scale, dates with their time and
// bits as b'1'. An expression default is compared by its presence alone:
// each server writes it back in its own spelling.
bool IsLiteral(const std::string& value) {
  return !value.empty() && (value.front() == '\'' || value.front() == '-' ||
                            (value.front() >= '0' && value.front() <= '9'));
}

bool SameDefault(const std::string& value, std::string found) {
  if (!IsLiteral(value)) return true;
  if (found.size() >= 2 && found.front() == '\'' && found.back() == '\'') {
    std::string text;
    for (std::size_t i = 1; i + 1 < found.size(); ++i) {
      text += found[i];
      if (found[i] == '\'' && found[i + 1] == '\'') ++i;
    }
    found = text;
  }
  if (found.size() >= 3 && found.rfind("b'", 0) == 0) found = found.substr(2, found.size() - 3);
  const std::string expected = value.front() == '\''
                                   ? Unescaped(std::string_view(value).substr(1, value.size() - 2))
                                   : value;
  if (found == expected || SameNumber(found, expected)) return true;
  return found == expected + " 00:00:00";
}

std::string Column(const std::string& name) { return "column " + Bracketed(name); }

struct ServerColumn {
  bool nullable = false;
  bool hasDefault = false;
  std::string defaultText;
  std::string characterSet;
  std::string comment;
};

std::map<std::string, ServerColumn> ReadColumns(target::MySqlConnection& connection,
                                                const std::string& database,
                                                const std::string& table) {
  std::map<std::string, ServerColumn> columns;
  // MariaDB writes a missing default as the text NULL, MySQL as NULL.
  const std::optional<Rows> rows = connection.QueryRows(
      "SELECT COLUMN_NAME, IS_NULLABLE, "
      "IF(COLUMN_DEFAULT IS NULL OR COLUMN_DEFAULT = 'NULL', 0, 1), COLUMN_DEFAULT, "
      "CHARACTER_SET_NAME, COLUMN_COMMENT FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = " +
      Quoted(database) + " AND TABLE_NAME = " + Quoted(table));
  if (!rows) return columns;
  for (const std::vector<std::string>& row : *rows) {
    if (row.size() < 6) continue;
    columns[Lower(row[0])] = {row[1] == "YES", row[2] == "1", row[3], row[4], row[5]};
  }
  return columns;
}

// The first cell of the first row; "" when there is none.
std::string FirstCell(target::MySqlConnection& connection, const std::string& query) {
  const std::optional<Rows> rows = connection.QueryRows(query);
  if (!rows || rows->empty() || rows->front().empty()) return "";
  return rows->front().front();
}

std::string Engine(target::MySqlConnection& connection, const std::string& database,
                   const std::string& table) {
  return Lower(FirstCell(connection,
                         "SELECT ENGINE FROM information_schema.TABLES WHERE "
                         "TABLE_SCHEMA = " +
                             Quoted(database) + " AND TABLE_NAME = " + Quoted(table)));
}

bool HasRules(const ColumnRules& rules) {
  return !rules.defaultValue.empty() || !rules.validationRule.empty() ||
         !rules.validationText.empty() || !rules.description.empty();
}

void CompareColumn(const ColumnDefinitionParts& parts, const std::string& name,
                   const ServerColumn& found, SchemaVerdict& verdict, SchemaGaps* gaps) {
  std::vector<std::string>& differences = verdict.differences;
  const std::size_t before = differences.size();
  if (found.nullable != parts.nullable) {
    differences.push_back(Column(name) + (found.nullable
                                              ? " takes NULL in MySQL, the plan has NOT NULL"
                                              : " is NOT NULL in MySQL, the plan takes NULL"));
  }
  const std::string planned = parts.defaultClause.empty()
                                  ? ""
                                  : parts.defaultClause.substr(std::string(" DEFAULT ").size());
  if (planned.empty() && found.hasDefault) {
    differences.push_back(Column(name) + " has the default " + found.defaultText +
                          " in MySQL, the plan has none");
  } else if (!planned.empty() && !found.hasDefault && !IsLiteral(planned)) {
    // A dump file is written for a server that may take no expression
    // default, and verify cannot tell which server the copy was made for.
    verdict.absences.push_back("the default of " + Column(name) +
                               " is absent: it needs a server that takes expression defaults");
  } else if (!planned.empty() && !found.hasDefault) {
    differences.push_back(Column(name) + " has no default in MySQL, the plan has " + planned);
  } else if (!planned.empty() && !SameDefault(planned, found.defaultText)) {
    differences.push_back(Column(name) + " has the default " + found.defaultText +
                          " in MySQL, the plan has " + planned);
  }
  if (!found.characterSet.empty() &&
      (Lower(found.characterSet) == "utf8mb4") != parts.extendedCharacters) {
    differences.push_back(Column(name) + " is " + found.characterSet + " in MySQL, the plan has " +
                          (parts.extendedCharacters ? "utf8mb4" : "utf8"));
  }
  if (found.comment != CommentText(parts.commentClause)) {
    differences.push_back("the comment of " + Column(name) + " differs in MySQL");
  }
  if (gaps != nullptr && differences.size() > before) gaps->columns.push_back(name);
}

std::string Counted(long long count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

SchemaVerdict VerifyTableSchema(ConversionOwner& owner, ConversionContext& context,
                                const std::string& table, target::MySqlConnection& connection,
                                const std::string& database, SchemaGaps* gaps) {
  SchemaVerdict verdict;
  verdict.table = table;
  const std::string& target = context.tablePlan.targetName;
  const std::map<std::string, ServerColumn> found = ReadColumns(connection, database, target);
  try {
    for (const ColumnDescription& field : context.source.Columns(table)) {
      verdict.hasRules = verdict.hasRules || HasRules(context.source.Rules(table, field.name));
      const ColumnDefinitionParts parts = PlanColumnDefinition(
          owner, context, table, field, context.source.Flags(table, field.name));
      const auto server = found.find(Lower(parts.targetName));
      // A column missing in MySQL is named by the rows' verdict.
      if (server != found.end()) CompareColumn(parts, field.name, server->second, verdict, gaps);
    }
    const TableRules rules = context.source.Rules(table);
    verdict.hasRules = verdict.hasRules || !rules.validationRule.empty() ||
                       !rules.validationText.empty() || !rules.description.empty();
  } catch (const source::SourceError&) {
    // The file's damage is named by the rows' verdict.
  }
  const std::string tableComment =
      FirstCell(connection,
                "SELECT TABLE_COMMENT FROM information_schema.TABLES WHERE "
                "TABLE_SCHEMA = " +
                    Quoted(database) + " AND TABLE_NAME = " + Quoted(target));
  if (tableComment != CommentText(TableCommentOption(owner, context, table))) {
    verdict.differences.push_back("the table's comment differs in MySQL");
    if (gaps != nullptr) gaps->tableComment = true;
  }

  std::vector<std::string> checks;  // lower-cased
  std::vector<std::string> checkNames;
  if (const std::optional<Rows> rows = connection.QueryRows(
          "SELECT CONSTRAINT_NAME FROM information_schema.TABLE_CONSTRAINTS WHERE "
          "CONSTRAINT_SCHEMA = " +
          Quoted(database) + " AND TABLE_NAME = " + Quoted(target) +
          " AND CONSTRAINT_TYPE = 'CHECK'")) {
    for (const std::vector<std::string>& row : *rows) {
      if (row.empty()) continue;
      checks.push_back(Lower(row[0]));
      checkNames.push_back(row[0]);
    }
  }
  const std::string quotedTable = QuoteIdentifier(target);
  std::vector<std::string> planned;
  for (const PlannedCheck& check : PlanCheckConstraints(context, table)) {
    planned.push_back(Lower(check.name));
    const std::string rule = "the rule " + check.accessText;
    if (!check.refusal.empty()) {
      verdict.absences.push_back(rule + " is absent as planned: " + check.refusal);
      continue;
    }
    // The conversion holds the rows against a rule before creating it; a
    // rule they break is left out.
    const std::string breaches = FirstCell(
        connection, "SELECT COUNT(*) FROM " + quotedTable + " WHERE NOT (" + check.condition + ")");
    const long long broken = std::atoll(breaches.c_str());
    const bool present = std::find(checks.begin(), checks.end(), Lower(check.name)) != checks.end();
    if (broken > 0 && !present) {
      verdict.absences.push_back(
          rule + " is absent as planned: " + Counted(broken, "row breaks", "rows break") + " it");
    } else if (!present) {
      verdict.differences.push_back("the CHECK constraint " + check.name + " (" + rule +
                                    ") is missing in MySQL");
      if (gaps != nullptr) gaps->missingChecks.push_back(check);
    } else if (present && broken > 0 && gaps != nullptr) {
      gaps->brokenChecks.emplace_back(check, broken);
    } else if (present && gaps != nullptr) {
      gaps->presentChecks.push_back(check);
    }
  }
  // A constraint the plan does not ask for refuses rows the file may hold.
  for (std::size_t i = 0; i < checks.size(); ++i) {
    if (std::find(planned.begin(), planned.end(), checks[i]) != planned.end()) continue;
    verdict.hasRules = true;
    verdict.differences.push_back("the CHECK constraint " + checkNames[i] +
                                  " in MySQL is none the file asks for");
    if (gaps != nullptr) gaps->extraChecks.push_back(checkNames[i]);
  }
  return verdict;
}

void VerifyForeignKeys(ConversionContext& context, target::MySqlConnection& connection,
                       const std::string& database, std::vector<SchemaVerdict>& verdicts,
                       ForeignKeyGaps* gaps) {
  std::vector<source::Relationship> relationships;
  try {
    relationships = context.source.Relationships();
  } catch (const source::SourceError&) {
    return;  // the catalogue's damage is named before the tables
  }
  auto planOf = [&](const std::string& table) -> const TablePlan* {
    for (const TablePlan& plan : context.convertedTables) {
      if (plan.sourceName == table) return &plan;
    }
    return nullptr;
  };
  auto verdictOf = [&](const std::string& table) -> SchemaVerdict* {
    for (SchemaVerdict& verdict : verdicts) {
      if (verdict.table == table) return &verdict;
    }
    return nullptr;
  };
  // The foreign keys found as planned, by table and name (lower-cased).
  std::set<std::pair<std::string, std::string>> matched;
  for (const source::Relationship& relationship : relationships) {
    if (relationship.Inherited()) continue;
    const TablePlan* child = planOf(relationship.table);
    const TablePlan* parent = planOf(relationship.referencedTable);
    SchemaVerdict* verdict = verdictOf(relationship.table);
    if (child == nullptr || parent == nullptr || verdict == nullptr) continue;
    verdict->hasRules = true;
    const std::string name = "relationship " + Bracketed(relationship.name);
    if (!relationship.Enforced()) continue;
    if (Engine(connection, database, child->targetName) != "innodb") {
      verdict->absences.push_back("no foreign key is expected of " + name + " with MyISAM");
      continue;
    }
    bool unique = false;
    try {
      unique =
          AsksForKey(relationship) && HasUniqueKey(context.source, relationship.referencedTable,
                                                   relationship.referencedColumns);
    } catch (const source::SourceError&) {
    }
    if (!unique) {
      verdict->absences.push_back(name + " is absent as planned: no unique key to refer to");
      continue;
    }
    const long long orphans =
        std::atoll(FirstCell(connection, "SELECT COUNT(*) FROM " +
                                             OrphanRowsTable(relationship, *child, *parent))
                       .c_str());
    // The clause the conversion writes, as the server reads it back.
    std::string expected = Lower(parent->targetName);
    for (const std::string& column : relationship.columns)
      expected += "|" + Lower(child->TargetName(column));
    expected += std::string("|") + (relationship.CascadeDeletes() ? "cascade"
                                    : relationship.CascadeNull()  ? "set null"
                                                                  : "restrict");
    expected += std::string("|") + (relationship.CascadeUpdates() ? "cascade" : "restrict");
    bool present = false;
    if (const std::optional<Rows> rows = connection.QueryRows(
            "SELECT r.CONSTRAINT_NAME, r.REFERENCED_TABLE_NAME, k.COLUMN_NAME, r.DELETE_RULE, "
            "r.UPDATE_RULE FROM information_schema.REFERENTIAL_CONSTRAINTS r JOIN "
            "information_schema.KEY_COLUMN_USAGE k ON k.CONSTRAINT_SCHEMA = r.CONSTRAINT_SCHEMA "
            "AND k.TABLE_NAME = r.TABLE_NAME AND k.CONSTRAINT_NAME = r.CONSTRAINT_NAME WHERE "
            "r.CONSTRAINT_SCHEMA = " +
            Quoted(database) + " AND r.TABLE_NAME = " + Quoted(child->targetName) +
            " ORDER BY r.CONSTRAINT_NAME, k.ORDINAL_POSITION")) {
      std::map<std::string, std::string> keys;
      std::map<std::string, std::string> rules;
      for (const std::vector<std::string>& row : *rows) {
        if (row.size() < 5) continue;
        std::string& key = keys[row[0]];
        if (key.empty()) key = Lower(row[1]);
        key += "|" + Lower(row[2]);
        auto rule = [](const std::string& text) {
          const std::string lower = Lower(text);
          return lower == "no action" ? std::string("restrict") : lower;
        };
        rules[row[0]] = "|" + rule(row[3]) + "|" + rule(row[4]);
      }
      for (const auto& [constraint, key] : keys) {
        if (present || key + rules[constraint] != expected) continue;
        present = true;
        matched.insert({Lower(child->targetName), Lower(constraint)});
      }
    }
    if (orphans > 0 && !present) {
      verdict->absences.push_back(name + " is absent as planned: " +
                                  Counted(orphans, "row names", "rows name") + " no parent");
    } else if (!present) {
      verdict->differences.push_back("the foreign key of " + name + " is missing in MySQL");
      if (gaps != nullptr) gaps->missing.push_back(relationship.name);
    }
  }
  // A foreign key no relationship of the file asks for refuses rows the
  // file may hold.
  const std::optional<Rows> keys = connection.QueryRows(
      "SELECT TABLE_NAME, CONSTRAINT_NAME FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE "
      "CONSTRAINT_SCHEMA = " +
      Quoted(database) + " ORDER BY TABLE_NAME, CONSTRAINT_NAME");
  if (!keys) return;
  for (const std::vector<std::string>& row : *keys) {
    if (row.size() < 2 || matched.count({Lower(row[0]), Lower(row[1])}) > 0) continue;
    for (const TablePlan& plan : context.convertedTables) {
      if (Lower(plan.targetName) != Lower(row[0])) continue;
      if (SchemaVerdict* verdict = verdictOf(plan.sourceName)) {
        verdict->hasRules = true;
        verdict->differences.push_back("the foreign key " + row[1] +
                                       " in MySQL is none the file asks for");
        if (gaps != nullptr) gaps->extra.emplace_back(row[0], row[1]);
      }
    }
  }
}

std::string SchemaVerdictLine(const SchemaVerdict& verdict) {
  std::string line = verdict.table + ": ";
  if (verdict.AsPlanned()) {
    line += "schema as planned";
  } else {
    line += "schema differs: " + verdict.differences.front();
    if (verdict.differences.size() > 1) {
      line += " (and " + std::to_string(verdict.differences.size() - 1) + " more)";
    }
  }
  for (const std::string& absence : verdict.absences) line += "; " + absence;
  return line;
}

}  // namespace bracken::engine
