#pragma once

// The syntax tree of one Access expression, as the parser builds it.

#include <memory>
#include <string>
#include <vector>

#include "expression/token.h"

namespace bracken::expression {

struct Node {
  enum class Kind {
    Number,   // text: the digits as written
    Text,     // text: the value
    Date,     // date
    Boolean,  // truth: Yes/No, True/False, On/Off
    Null,
    Name,            // parts: [Table].[Column] is two parts
    ImplicitColumn,  // the column a validation rule leaves out (">=0")
    Negate,          // children[0]
    Not,             // children[0]
    Binary,          // text: the operator in upper case ("+", "MOD", "AND", "<="); children[0..1]
    Like,            // negated; children: value, pattern
    IsNull,          // negated; children[0]
    Between,         // negated; children: value, low, high
    In,              // negated; children: value, then the list
    Call,            // text: the function's name as written; children: arguments
    Bang,            // parts: Forms!Orders!Total, a reference to an open object
    Star,            // the * of Count(*)
    Subquery,        // text: the SELECT statement between its parentheses
    Exists,          // children[0]: a Subquery
  };

  Kind kind = Kind::Null;
  std::string text;
  std::vector<std::string> parts;
  DateValue date;
  bool truth = false;
  bool negated = false;
  // The levels of nodes from this one down to its deepest leaf.
  int depth = 1;
  std::vector<std::unique_ptr<Node>> children;
};

using NodePtr = std::unique_ptr<Node>;

}  // namespace bracken::expression
