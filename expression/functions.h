#pragma once

// The Access functions the translation knows, with the number of arguments
// each takes. The translations themselves are in functions.cpp.

#include <string_view>

namespace bracken::expression {

struct FunctionInfo {
  std::string_view name;  // as Access spells it: "DateAdd"
  int minArguments;
  int maxArguments;
  // Reads the clock: Now, Date, Time.
  bool readsClock;
};

// The function named `name` (any case), or nullptr for one the translation
// does not know.
const FunctionInfo* FindFunction(std::string_view name);

// Access's domain functions (DLookup, DSum, ...), which run a query of their own.
bool IsDomainFunction(std::string_view name);

}  // namespace bracken::expression
