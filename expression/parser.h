#pragma once

// Access expressions read into a syntax tree, with Access's precedence, from
// the tightest: ^, unary -, * /, \, Mod, + -, &, the comparisons (= <> < >
// <= >= Like Is Between In), Not, And, Or, Xor, Eqv, Imp.

#include <string_view>

#include "expression/tree.h"

namespace bracken::expression {

struct ParseOptions {
  // A validation rule of a column may leave its column out where a
  // comparison begins (">=0", "Is Null Or Like "A*"", "Between 1 And 9");
  // the tree holds an ImplicitColumn there.
  bool columnMayBeOmitted = false;
};

// The tree of `text`. A leading "=" (as Access writes some defaults) is
// skipped. Throws SyntaxError for anything that is not a whole expression.
NodePtr Parse(std::string_view text, const ParseOptions& options = {});

}  // namespace bracken::expression
