#pragma once

// The validation rules of a table and its columns as CHECK constraints.
// Access lets a rule be set over rows that break it, and no row is ever
// refused for a rule: once the rows have arrived the server counts the rows
// that break each rule, and a rule some rows break is not kept. Each rule
// that is not kept (not translatable, a server that does not enforce CHECK,
// rows that break it, a refusal) is one report line.
//
// Adding a constraint to a full table makes the server copy the table, which
// would cost as much as the rows themselves. So where the server can leave
// its checks to later (MariaDB's check_constraint_checks), the constraints
// are created with the table, the rows arrive unchecked, and afterwards one
// pass over the rows tells whether any breaks a constraint; only then is
// each counted, and a broken one is dropped, which the server does without
// a copy. Elsewhere (MySQL, and a
// dump file) the constraint is added after the rows, when none breaks it.

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

namespace bracken::engine {

// The server's limit on the characters of a constraint's name.
inline constexpr std::size_t kMaxConstraintNameCharacters = 64;

// A constraint name from `table` and `column` ("Orders_Quantity"), within the
// server's limit and unlike every name in `taken` (lower-cased), which it
// joins; a repeat takes "_2", "_3", ...
std::string ClaimConstraintName(const std::string& table, const std::string& column,
                                std::set<std::string>& taken);

// One validation rule of a table as its constraint: where it stands, its
// Access text, and when translated its constraint's name and condition;
// else `refusal` says why it is not kept.
struct PlannedCheck {
  std::string place;  // "Table [T], column [C]" or "Table [T]"
  std::string accessText;
  std::string name;
  std::string condition;
  std::string refusal;
};

// The rules of `table` (its plan is context.tablePlan), translated, each
// translated one with its name claimed in context.constraintNames. None
// when rules are not carried or the catalogue cannot be read.
std::vector<PlannedCheck> PlanCheckConstraints(ConversionContext& context,
                                               const std::string& table);

// Before `table` is created (its plan is context.tablePlan): where the
// server can check later, turns the session's checks off and gives the
// constraint clauses its CREATE TABLE takes (", CONSTRAINT `n` CHECK (...)"),
// keeping its rules in context.pendingChecks; else "".
std::string CheckClauses(ConversionContext& context, const std::string& table);

// When the CREATE TABLE with the clauses was refused and the table was
// created without them: adds them one by one to the empty table, so that a
// constraint the server refuses costs only its own rule.
void AddCheckConstraintsAlone(ConversionContext& context);

// After the rows of `table`: holds the rows against the constraints created
// before them, dropping each that some rows break, and adds the others. A
// dump file cannot count rows: there each constraint is written so that the
// replay creates it only when no row breaks it.
void AddCheckConstraints(ConversionOwner& owner, ConversionContext& context,
                         const std::string& table);

}  // namespace bracken::engine
