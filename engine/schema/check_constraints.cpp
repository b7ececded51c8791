#include "engine/schema/check_constraints.h"

#include <algorithm>
#include <vector>

#include "engine/rows/value_literal.h"
#include "engine/run_report.h"
#include "engine/schema/identifier.h"
#include "engine/schema/rule_clauses.h"

namespace bracken::engine {

namespace {

// One rule of the table: where it stands, its Access text and its SQL.
struct Rule {
  std::string place;   // "Table [T], column [C]" or "Table [T]"
  std::string column;  // its column's MySQL name; "" for the table's rule
  std::string accessText;
  expression::Translation translation;
  expression::Translation onNewest;  // the same rule for the newest server
};

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The rules of `table`, translated; none where the catalogue cannot be read
// (the table's own steps name that failure).
std::vector<Rule> ReadRules(ConversionContext& context, const std::string& table) {
  std::vector<Rule> rules;
  const expression::ServerDialect dialect = TargetDialect(context);
  try {
    std::vector<expression::ColumnRef> references;
    for (const ColumnDescription& field : context.source.Columns(table)) {
      const std::string& target = context.tablePlan.TargetName(field.name);
      expression::ColumnRef reference = ColumnReference(field, target);
      references.push_back(reference);
      const std::string text = context.source.Rules(table, field.name).validationRule;
      if (text.empty()) continue;
      rules.push_back(
          {"Table " + Bracketed(table) + ", column " + Bracketed(field.name), target, text,
           expression::Translate(text, expression::Context::ForColumnRule(reference, dialect)),
           expression::Translate(text, expression::Context::ForColumnRule(reference, {}))});
    }
    const std::string text = context.source.Rules(table).validationRule;
    if (!text.empty()) {
      rules.push_back(
          {"Table " + Bracketed(table), "", text,
           expression::Translate(text, expression::Context::ForTableRule(references, dialect)),
           expression::Translate(text, expression::Context::ForTableRule(references, {}))});
    }
  } catch (const source::SourceError&) {
  }
  return rules;
}

void NotKept(ConversionOwner& owner, ConversionContext& context, const PlannedCheck& rule,
             const std::string& why) {
  ++context.summary.rulesNotKept;
  Report(owner, context.summary,
         rule.place + ": the validation rule " + rule.accessText + " is not kept: " + why + ".");
}

std::string AddStatement(const std::string& quotedTable, const std::string& name,
                         const std::string& condition) {
  return "ALTER TABLE " + quotedTable + " ADD CONSTRAINT " + QuoteIdentifier(name) + " CHECK (" +
         condition + ")";
}

// In a dump file: the replay counts the rows and adds the constraint only
// when none breaks it.
void WriteGuarded(StatementExecutor& server, const std::string& quotedTable,
                  const std::string& statement, const std::string& condition) {
  server.Execute("SET @bracken_check = IF((SELECT COUNT(*) FROM " + quotedTable + " WHERE NOT (" +
                 condition + ")) = 0, '" + EscapeText(statement) + "', 'DO 0')");
  server.Execute("PREPARE bracken_check FROM @bracken_check");
  server.Execute("EXECUTE bracken_check");
  server.Execute("DEALLOCATE PREPARE bracken_check");
  server.Execute("SET @bracken_check = NULL");
}

}  // namespace

std::string ClaimConstraintName(const std::string& table, const std::string& column,
                                std::set<std::string>& taken) {
  const std::string base = table + "_" + column;
  for (int repeat = 1;; ++repeat) {
    const std::string suffix = repeat == 1 ? "" : "_" + std::to_string(repeat);
    std::string name = CutToCharacters(base, kMaxConstraintNameCharacters - suffix.size());
    // The server takes no name ending in a space.
    while (!name.empty() && name.back() == ' ') name.pop_back();
    name += suffix;
    if (taken.insert(Lower(name)).second) return name;
  }
}

std::vector<PlannedCheck> PlanCheckConstraints(ConversionContext& context,
                                               const std::string& table) {
  std::vector<PlannedCheck> planned;
  if (!context.carryRules) return planned;
  const std::string& target = context.tablePlan.targetName;
  for (const Rule& rule : ReadRules(context, table)) {
    PlannedCheck check{rule.place, rule.accessText, "", "", ""};
    if (rule.translation.ok()) {
      check.condition = rule.translation.sql;
      check.name = ClaimConstraintName(target, rule.column.empty() ? "rule" : rule.column,
                                       context.constraintNames);
    } else {
      check.refusal = RefusalReason(rule.translation, rule.onNewest);
    }
    planned.push_back(std::move(check));
  }
  return planned;
}

namespace {

// MariaDB checks later when told; MySQL has no such setting.
bool CanCheckLater(ConversionContext& context) {
  if (context.executor.WritesDumpFile()) return false;
  const expression::ServerDialect dialect = TargetDialect(context);
  return dialect.isMariaDb && dialect.EnforcesCheckConstraints();
}

void NotKept(ConversionOwner& owner, ConversionContext& context, const PendingCheck& check,
             const std::string& why) {
  NotKept(owner, context,
          PlannedCheck{check.place, check.accessText, check.name, check.condition, ""}, why);
}

// Holds the table's rows against a constraint added before them; drops it
// when some rows break it or they cannot be counted.
void Settle(ConversionOwner& owner, ConversionContext& context, const std::string& quotedTable,
            const PendingCheck& check) {
  if (!check.refusal.empty()) {
    NotKept(owner, context, check, check.refusal);
    return;
  }
  StatementExecutor& server = context.executor;
  const std::optional<long long> breaches =
      server.CountRowsWhere(quotedTable, "NOT (" + check.condition + ")");
  if (breaches && *breaches == 0) return;
  const std::string why = !breaches ? "the rows could not be held against it: " + server.ErrorText()
                                    : std::to_string(*breaches) +
                                          (*breaches == 1 ? " row breaks" : " rows break") + " it";
  server.Execute("ALTER TABLE " + quotedTable + " DROP CONSTRAINT " + QuoteIdentifier(check.name));
  NotKept(owner, context, check, why);
}

}  // namespace

std::string CheckClauses(ConversionContext& context, const std::string& table) {
  context.pendingChecks.clear();
  context.checksPrepared = false;
  if (!context.carryRules || !CanCheckLater(context)) return "";
  const std::vector<PlannedCheck> planned = PlanCheckConstraints(context, table);
  const bool anyTranslated =
      std::any_of(planned.begin(), planned.end(),
                  [](const PlannedCheck& rule) { return rule.refusal.empty(); });
  if (anyTranslated && !context.checksDeferred) {
    if (!context.executor.Execute("SET SESSION check_constraint_checks = 0")) {
      // The rows would meet the constraints: they are added after the rows,
      // under the names they are planned again with.
      for (const PlannedCheck& rule : planned) context.constraintNames.erase(Lower(rule.name));
      return "";
    }
    context.checksDeferred = true;
  }
  std::string clauses;
  for (const PlannedCheck& rule : planned) {
    if (rule.refusal.empty()) {
      clauses += ", CONSTRAINT " + QuoteIdentifier(rule.name) + " CHECK (" + rule.condition + ")";
    }
    context.pendingChecks.push_back(
        {rule.place, rule.accessText, rule.name, rule.condition, rule.refusal});
  }
  context.checksPrepared = true;
  return clauses;
}

void AddCheckConstraintsAlone(ConversionContext& context) {
  StatementExecutor& server = context.executor;
  const std::string quotedTable = QuoteIdentifier(context.tablePlan.targetName);
  for (PendingCheck& check : context.pendingChecks) {
    if (check.refusal.empty() &&
        !server.Execute(AddStatement(quotedTable, check.name, check.condition))) {
      check.refusal = "the server refused it: " + server.ErrorText();
    }
  }
}

void AddCheckConstraints(ConversionOwner& owner, ConversionContext& context,
                         const std::string& table) {
  StatementExecutor& server = context.executor;
  const std::string quotedTable = QuoteIdentifier(context.tablePlan.targetName);
  if (context.checksPrepared) {
    context.checksPrepared = false;
    const std::vector<PendingCheck> pending = std::move(context.pendingChecks);
    context.pendingChecks.clear();
    // Most tables keep every rule: one pass over the rows tells.
    std::string anyBroken;
    for (const PendingCheck& check : pending) {
      if (!check.refusal.empty()) continue;
      anyBroken += (anyBroken.empty() ? "NOT (" : " OR NOT (") + check.condition + ")";
    }
    const bool allKept =
        anyBroken.empty() || server.CountRowsWhere(quotedTable, anyBroken).value_or(-1) == 0;
    for (const PendingCheck& check : pending) {
      if (context.endingAtOnce) return;
      if (allKept && check.refusal.empty()) continue;
      Settle(owner, context, quotedTable, check);
    }
    return;
  }
  for (const PlannedCheck& rule : PlanCheckConstraints(context, table)) {
    if (context.stopRequested || context.stoppedDuringWait) return;
    if (!rule.refusal.empty()) {
      NotKept(owner, context, rule, rule.refusal);
      continue;
    }
    const std::string& condition = rule.condition;
    const std::string statement = AddStatement(quotedTable, rule.name, condition);
    if (server.WritesDumpFile()) {
      WriteGuarded(server, quotedTable, statement, condition);
      continue;
    }
    const std::optional<long long> breaches =
        server.CountRowsWhere(quotedTable, "NOT (" + condition + ")");
    if (!breaches) {
      NotKept(owner, context, rule, "the rows could not be held against it: " + server.ErrorText());
    } else if (*breaches > 0) {
      NotKept(owner, context, rule,
              std::to_string(*breaches) + (*breaches == 1 ? " row breaks" : " rows break") + " it");
    } else if (!server.Execute(statement)) {
      NotKept(owner, context, rule, "the server refused it: " + server.ErrorText());
    }
  }
}

}  // namespace bracken::engine
