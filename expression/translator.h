#pragma once

// The translation's working parts, shared by the operators (translate.cpp)
// and the function table (functions.cpp). Not for use outside expression/.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "expression/translate.h"
#include "expression/tree.h"

namespace bracken::expression::detail {

// A translated part: its SQL text and what is known of its value.
struct Sql {
  std::string text;
  ValueKind kind = ValueKind::Unknown;
  bool deterministic = true;
  bool constant = true;
  // A whole number for certain (an integer literal, Int(), Len(), ...).
  bool integral = false;
  // An undeclared parameter of the query, alone (ColumnRef::undeclaredParameter).
  bool undeclaredParameter = false;
};

// Thrown where a construct has no faithful translation; the message
// finishes "not translatable, because ...".
using NotTranslatable = Refused;

// `text` with the flags of all `parts` (deterministic and constant only if
// every part is).
Sql Combine(std::string text, ValueKind kind, const std::vector<const Sql*>& parts,
            bool integral = false);

// A MySQL string literal of `value`, escaped for a session without
// NO_BACKSLASH_ESCAPES (as the conversion's session is).
std::string QuoteText(std::string_view value);

// A Yes/No value as Access's number (-1 or 0); anything else unchanged.
Sql AsNumber(Sql value);

// Rounds `x` to `digits` decimals with ties to the even digit, as Access's
// Round, CInt and integer division do.
std::string BankersRound(const std::string& x, int digits);

// The names' text for messages: [Orders].[Total].
std::string NameText(const std::vector<std::string>& parts);

std::string Upper(std::string_view text);

class Translator {
 public:
  explicit Translator(const Context& context) : context_(context) {}

  Sql Value(const Node& node);
  const Context& context() const { return context_; }

 private:
  Sql Name(const Node& node);
  Sql Binary(const Node& node);
  Sql Arithmetic(const std::string& op, Sql left, Sql right);
  Sql Compare(const std::string& op, Sql left, Sql right);
  // Undeclared parameters among `values` compared with a date among them
  // become dates (see Context::comparedWithDate); then refuses a date
  // compared with a number or a text.
  void CheckDateComparison(const std::vector<Sql*>& values);
  Sql Concatenate(const Node& node);
  Sql Like(const Node& node);
  Sql Between(const Node& node);
  Sql Subquery(const Node& node);
  // Count, Sum, Avg, Min, Max, StDev, StDevP, Var, VarP in a query;
  // nullopt for any other call.
  std::optional<Sql> Aggregate(const Node& call);

  const Context& context_;
};

// A call of an Access function, or NotTranslatable.
Sql TranslateCall(const Node& call, Translator& translator);

// Access's Like pattern as a SQL condition on `value`: a LIKE where the
// pattern needs only * and ?, else an anchored REGEXP.
std::string LikeCondition(const std::string& value, std::string_view pattern,
                          const ServerDialect& server);

// The same condition for a pattern known only when the query runs (a
// column, a parameter, a text built with &): the server turns the pattern
// into the anchored regular expression LikeCondition would write. A Null
// pattern gives Null; a [ without its ] makes the server refuse the query,
// as Access does.
std::string LikeConditionOnServer(const std::string& value, const std::string& pattern,
                                  const ServerDialect& server);

}  // namespace bracken::expression::detail
