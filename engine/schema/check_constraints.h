#pragma once

// The validation rules of a table and its columns as CHECK constraints,
// added once the table's rows have arrived. Access lets a rule be set over
// rows that break it, and no row is ever refused for a rule: before a
// constraint is created the server counts the rows that break it, and a rule
// some rows break is not created. Each rule that is not created (not
// translatable, a server that does not enforce CHECK, rows that break it, a
// refusal) is one report line and counts as not kept.

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

// Adds the CHECK constraints of `table` (its plan is context.tablePlan).
// A dump file cannot count rows: there each constraint is written so that
// the replay creates it only when no row breaks it.
void AddCheckConstraints(ConversionOwner& owner, ConversionContext& context,
                         const std::string& table);

}  // namespace bracken::engine
