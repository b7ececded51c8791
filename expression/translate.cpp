#include "expression/translate.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "expression/parser.h"
#include "expression/translator.h"

namespace bracken::expression {

namespace detail {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

Sql Combine(std::string text, ValueKind kind, const std::vector<const Sql*>& parts, bool integral) {
  Sql out;
  out.text = std::move(text);
  out.kind = kind;
  out.integral = integral;
  for (const Sql* part : parts) {
    out.deterministic = out.deterministic && part->deterministic;
    out.constant = out.constant && part->constant;
  }
  return out;
}

std::string QuoteText(std::string_view value) {
  std::string out = "'";
  for (char c : value) {
    switch (c) {
      case '\'':
        out += "\\'";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        out += c;
    }
  }
  return out + "'";
}

Sql AsNumber(Sql value) {
  if (value.kind != ValueKind::Boolean) return value;
  value.text = "(-" + value.text + ")";
  value.kind = ValueKind::Number;
  value.integral = true;
  return value;
}

std::string BankersRound(const std::string& x, int digits) {
  // ROUND rounds exact ties away from zero; a tie (a remainder of exactly one
  // half at the last kept digit) goes to the even neighbour instead.
  std::string scale = "1";
  for (int i = 0; i < digits; ++i) scale += "0";
  std::string scaled = digits == 0 ? x : "(" + x + ")*" + scale;
  std::string even = digits == 0 ? "2*ROUND((" + x + ")/2)" : "2*ROUND(" + scaled + "/2)/" + scale;
  return "IF(ABS(" + scaled + "-TRUNCATE(" + scaled + ",0))=0.5," + even + ",ROUND(" + x + "," +
         std::to_string(digits) + "))";
}

std::string NameText(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += ".";
    out += "[" + part + "]";
  }
  return out;
}

namespace {

bool SameName(std::string_view a, std::string_view b) { return Upper(a) == Upper(b); }

std::string Two(int value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

std::string DateText(const DateValue& date, bool withTime) {
  std::string text = std::to_string(date.year) + "-" + Two(date.month) + "-" + Two(date.day);
  if (withTime) text += " " + Two(date.hour) + ":" + Two(date.minute) + ":" + Two(date.second);
  return text;
}

bool IsIntegerText(std::string_view text) {
  return text.find_first_of(".eE") == std::string_view::npos;
}

// A number literal as Access writes it joined to text: 1.50 -> "1.5".
std::string AccessNumberText(std::string text) {
  if (text.find_first_of("eE") != std::string::npos) {
    double value = std::stod(text);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    std::string out = buffer;
    std::size_t e = out.find('E');
    if (e != std::string::npos) {
      // 1E+20 as Access writes it; VBA keeps at least two exponent digits.
      std::string mantissa = out.substr(0, e);
      std::string exponent = out.substr(e + 1);
      char sign = exponent[0];
      std::string digits = exponent.substr(1);
      while (digits.size() > 2 && digits[0] == '0') digits.erase(0, 1);
      return mantissa + "E" + sign + digits;
    }
    text = out;
  }
  std::size_t start = text.find_first_not_of('0');
  if (start == std::string::npos) return "0";
  text = text.substr(start);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text.empty() || text[0] == '.') text = "0" + text;
  return text;
}

}  // namespace

Sql Translator::Value(const Node& node) {
  switch (node.kind) {
    case Node::Kind::Number:
      return Sql{node.text, ValueKind::Number, true, true, IsIntegerText(node.text)};
    case Node::Kind::Text:
      return Sql{QuoteText(node.text), ValueKind::Text};
    case Node::Kind::Date:
      if (node.date.hasDate && !node.date.hasTime) {
        return Sql{"DATE'" + DateText(node.date, false) + "'", ValueKind::Date};
      }
      return Sql{"TIMESTAMP'" + DateText(node.date, true) + "'", ValueKind::Date};
    case Node::Kind::Boolean:
      return Sql{node.truth ? "TRUE" : "FALSE", ValueKind::Boolean};
    case Node::Kind::Null:
      return Sql{"NULL", ValueKind::Unknown};
    case Node::Kind::Name:
      return Name(node);
    case Node::Kind::ImplicitColumn:
      return Sql{context_.column.sql, context_.column.kind, true, false,
                 context_.column.kind == ValueKind::Number && context_.column.wholeNumber};
    case Node::Kind::Negate: {
      Sql operand = AsNumber(Value(*node.children[0]));
      if (operand.kind == ValueKind::Date || operand.kind == ValueKind::Text) {
        throw NotTranslatable("a date or a text is negated");
      }
      operand.text = "(-" + operand.text + ")";
      return operand;
    }
    case Node::Kind::Not: {
      Sql operand = Value(*node.children[0]);
      if (operand.kind == ValueKind::Number) {
        throw NotTranslatable("Not works bit by bit on numbers in Access");
      }
      return Combine("(NOT " + operand.text + ")", ValueKind::Boolean, {&operand});
    }
    case Node::Kind::Binary:
      return Binary(node);
    case Node::Kind::Like:
      return Like(node);
    case Node::Kind::IsNull: {
      Sql operand = Value(*node.children[0]);
      return Combine("(" + operand.text + (node.negated ? " IS NOT NULL)" : " IS NULL)"),
                     ValueKind::Boolean, {&operand});
    }
    case Node::Kind::Between:
      return Between(node);
    case Node::Kind::In: {
      Sql value = Value(*node.children[0]);
      if (node.children.size() == 2 && node.children[1]->kind == Node::Kind::Subquery) {
        Sql inner = Subquery(*node.children[1]);
        return Combine(
            "(" + value.text + (node.negated ? " NOT IN (" : " IN (") + inner.text + "))",
            ValueKind::Boolean, {&value, &inner});
      }
      std::vector<Sql> items;
      for (std::size_t i = 1; i < node.children.size(); ++i) {
        items.push_back(Value(*node.children[i]));
      }
      bool numeric = value.kind == ValueKind::Number;
      for (const Sql& item : items) numeric = numeric || item.kind == ValueKind::Number;
      std::vector<const Sql*> parts = {&value};
      std::string list;
      for (Sql& item : items) {
        if (numeric) item = AsNumber(item);
        if (!list.empty()) list += ", ";
        list += item.text;
        parts.push_back(&item);
      }
      if (numeric) value = AsNumber(value);
      return Combine("(" + value.text + (node.negated ? " NOT IN (" : " IN (") + list + "))",
                     ValueKind::Boolean, parts);
    }
    case Node::Kind::Call:
      if (context_.purpose == Purpose::QueryExpression) {
        if (std::optional<Sql> aggregate = Aggregate(node)) return *aggregate;
      }
      return TranslateCall(node, *this);
    case Node::Kind::Bang:
      // In a query, [Forms]![Orders]![Total] is a value the query asks for.
      if (context_.purpose == Purpose::QueryExpression && context_.openObject) {
        if (std::optional<ColumnRef> value = context_.openObject(node.parts)) {
          return Sql{value->sql, value->kind, true, false,
                     value->kind == ValueKind::Number && value->wholeNumber};
        }
      }
      throw NotTranslatable(NameText(node.parts) +
                            " refers to an open form, report or other Access object");
    case Node::Kind::Star:
      throw NotTranslatable("* stands for a query's rows only in Count(*)");
    case Node::Kind::Subquery: {
      Sql inner = Subquery(node);
      inner.text = "(" + inner.text + ")";
      return inner;
    }
    case Node::Kind::Exists: {
      Sql inner = Subquery(*node.children[0]);
      return Combine("(EXISTS (" + inner.text + "))", ValueKind::Boolean, {&inner});
    }
  }
  throw NotTranslatable("the expression holds a construct Bracken does not know");
}

Sql Translator::Name(const Node& node) {
  const std::vector<std::string>& parts = node.parts;
  const std::string name = NameText(parts);
  auto found = [](const ColumnRef& column) {
    return Sql{column.sql,
               column.kind,
               true,
               false,
               column.kind == ValueKind::Number && column.wholeNumber,
               column.undeclaredParameter};
  };
  switch (context_.purpose) {
    case Purpose::DefaultValue:
      throw NotTranslatable("a default value cannot refer to " + name);
    case Purpose::ColumnRule:
      if (parts.size() == 1 && SameName(parts[0], context_.column.accessName)) {
        return found(context_.column);
      }
      throw NotTranslatable("the rule refers to " + name + ", which is not its column");
    case Purpose::TableRule:
      if (parts.size() <= 2) {
        for (const ColumnRef& column : context_.columns) {
          if (SameName(parts.back(), column.accessName)) return found(column);
        }
      }
      break;
    case Purpose::QueryExpression:
      break;
  }
  if (context_.resolve) {
    if (std::optional<ColumnRef> column = context_.resolve(parts)) return found(*column);
  }
  throw NotTranslatable(name + " is not a column Bracken knows here");
}

Sql Translator::Binary(const Node& node) {
  const std::string& op = node.text;
  if (op == "&") return Concatenate(node);
  Sql left = Value(*node.children[0]);
  Sql right = Value(*node.children[1]);
  if (op == "AND" || op == "OR" || op == "XOR" || op == "EQV" || op == "IMP") {
    if (left.kind == ValueKind::Number || right.kind == ValueKind::Number) {
      throw NotTranslatable("And, Or, Xor, Eqv and Imp work bit by bit on numbers in Access");
    }
    std::string text;
    if (op == "EQV") {
      text = "(NOT (" + left.text + " XOR " + right.text + "))";
    } else if (op == "IMP") {
      text = "((NOT " + left.text + ") OR " + right.text + ")";
    } else {
      text = "(" + left.text + " " + op + " " + right.text + ")";
    }
    return Combine(text, ValueKind::Boolean, {&left, &right});
  }
  if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
    return Compare(op, std::move(left), std::move(right));
  }
  return Arithmetic(op, std::move(left), std::move(right));
}

void Translator::CheckDateComparison(const std::vector<Sql*>& values) {
  auto any = [&](ValueKind kind) {
    return std::any_of(values.begin(), values.end(),
                       [&](const Sql* value) { return value->kind == kind; });
  };
  if (!any(ValueKind::Date)) return;
  if (context_.comparedWithDate) {
    for (Sql* value : values) {
      if (!value->undeclaredParameter) continue;
      context_.comparedWithDate(value->text);
      value->kind = ValueKind::Date;
    }
  }
  if (any(ValueKind::Number)) throw NotTranslatable("a date is compared with a number");
  if (any(ValueKind::Text)) {
    throw NotTranslatable(
        "a date is compared with a text, which Access reads by the computer's regional settings");
  }
}

Sql Translator::Compare(const std::string& op, Sql left, Sql right) {
  if (left.kind != right.kind) {
    left = AsNumber(left);
    right = AsNumber(right);
  }
  CheckDateComparison({&left, &right});
  return Combine("(" + left.text + " " + op + " " + right.text + ")", ValueKind::Boolean,
                 {&left, &right});
}

Sql Translator::Arithmetic(const std::string& op, Sql left, Sql right) {
  left = AsNumber(std::move(left));
  right = AsNumber(std::move(right));
  std::vector<const Sql*> parts = {&left, &right};
  bool leftDate = left.kind == ValueKind::Date;
  bool rightDate = right.kind == ValueKind::Date;
  auto days = [](const Sql& count) {
    return count.integral ? "INTERVAL " + count.text + " DAY"
                          : "INTERVAL ROUND(" + count.text + "*86400) SECOND";
  };
  if (leftDate || rightDate) {
    if (op == "+" && leftDate != rightDate && (leftDate ? right : left).kind != ValueKind::Text) {
      const Sql& date = leftDate ? left : right;
      const Sql& count = leftDate ? right : left;
      return Combine("(" + date.text + " + " + days(count) + ")", ValueKind::Date, parts);
    }
    if (op == "-" && leftDate && rightDate) {
      return Combine("(TIMESTAMPDIFF(SECOND, " + right.text + ", " + left.text + ")/86400)",
                     ValueKind::Number, parts);
    }
    if (op == "-" && leftDate && right.kind != ValueKind::Text) {
      return Combine("(" + left.text + " - " + days(right) + ")", ValueKind::Date, parts);
    }
    throw NotTranslatable("the operator " + op +
                          " is applied to a date in a way Bracken cannot "
                          "reproduce");
  }
  if (op == "+") {
    // + joins two texts and adds anything else; a text and a value whose
    // kind is not known could be either.
    auto unknown = [](const Sql& value) {
      return value.kind == ValueKind::Unknown && value.text != "NULL";
    };
    if ((left.kind == ValueKind::Text && unknown(right)) ||
        (right.kind == ValueKind::Text && unknown(left))) {
      throw NotTranslatable("+ joins texts or adds numbers, and one side's kind is not known");
    }
    if (left.kind == ValueKind::Text && right.kind == ValueKind::Text) {
      return Combine("CONCAT(" + left.text + ", " + right.text + ")", ValueKind::Text, parts);
    }
    return Combine("(" + left.text + " + " + right.text + ")", ValueKind::Number, parts,
                   left.integral && right.integral);
  }
  if (op == "-" || op == "*") {
    return Combine("(" + left.text + " " + op + " " + right.text + ")", ValueKind::Number, parts,
                   left.integral && right.integral);
  }
  if (op == "/") {
    // A double quotient, as Access's; the server's decimal one keeps only
    // four more digits than its operands.
    return Combine("(" + left.text + " / (" + right.text + " + 0E0))", ValueKind::Number, parts);
  }
  // \ and Mod round both operands to whole numbers first, ties to even.
  auto whole = [](const Sql& value) {
    return value.integral ? value.text : BankersRound(value.text, 0);
  };
  if (op == "\\") {
    return Combine("(" + whole(left) + " DIV " + whole(right) + ")", ValueKind::Number, parts,
                   true);
  }
  if (op == "MOD") {
    return Combine("MOD(" + whole(left) + ", " + whole(right) + ")", ValueKind::Number, parts,
                   true);
  }
  if (op == "^") {
    return Combine("POW(" + left.text + ", " + right.text + ")", ValueKind::Number, parts);
  }
  throw NotTranslatable("the operator " + op + " is not known");
}

Sql Translator::Concatenate(const Node& node) {
  // a & b & c: Null only when every part is Null, else the parts joined
  // with Null as empty text (CONCAT_WS skips Nulls).
  std::vector<const Node*> operands;
  std::vector<const Node*> pending = {&node};
  while (!pending.empty()) {
    const Node* at = pending.back();
    pending.pop_back();
    if (at->kind == Node::Kind::Binary && at->text == "&") {
      pending.push_back(at->children[1].get());
      pending.push_back(at->children[0].get());
    } else {
      operands.push_back(at);
    }
  }
  std::vector<Sql> values;
  for (const Node* operand : operands) {
    Sql value = Value(*operand);
    if (value.kind == ValueKind::Date || value.kind == ValueKind::Boolean ||
        (value.kind == ValueKind::Unknown && value.text != "NULL")) {
      throw NotTranslatable(
          "a date or a Yes/No value (or a value of unknown kind) joined with & is written in the "
          "computer's regional format");
    }
    if (operand->kind == Node::Kind::Number) {
      value.text = QuoteText(AccessNumberText(operand->text));
    } else if (value.kind == ValueKind::Number && !value.integral) {
      // 12.5 held as DECIMAL(19,4) reads "12.5000" on the server, "12.5" in Access.
      throw NotTranslatable(
          "a number with decimals joined with & is written with Access's own "
          "digits");
    }
    values.push_back(std::move(value));
  }
  std::vector<const Sql*> parts;
  std::string list;
  std::string allNull;
  for (const Sql& value : values) {
    parts.push_back(&value);
    list += ", " + value.text;
    if (!allNull.empty()) allNull += " AND ";
    allNull += value.text + " IS NULL";
  }
  return Combine("IF(" + allNull + ", NULL, CONCAT_WS(''" + list + "))", ValueKind::Text, parts);
}

Sql Translator::Like(const Node& node) {
  Sql value = Value(*node.children[0]);
  const Node& pattern = *node.children[1];
  if (pattern.kind == Node::Kind::Text) {
    std::string condition = LikeCondition(value.text, pattern.text, context_.server);
    if (node.negated) condition = "(NOT " + condition + ")";
    return Combine(condition, ValueKind::Boolean, {&value});
  }
  Sql built = Value(pattern);
  if (built.kind != ValueKind::Text && built.kind != ValueKind::Unknown) {
    throw NotTranslatable("the pattern of Like is not a text");
  }
  std::string condition = LikeConditionOnServer(value.text, built.text, context_.server);
  if (node.negated) condition = "(NOT " + condition + ")";
  return Combine(condition, ValueKind::Boolean, {&value, &built});
}

Sql Translator::Subquery(const Node& node) {
  if (context_.purpose != Purpose::QueryExpression || !context_.subquery) {
    throw NotTranslatable("a subquery stands only in a query");
  }
  Context::Subquery inner = context_.subquery(node.text);
  Sql out{inner.sql, inner.kind};
  out.constant = false;
  return out;
}

std::optional<Sql> Translator::Aggregate(const Node& call) {
  struct Known {
    std::string_view access;
    std::string_view sql;
  };
  static constexpr Known kAggregates[] = {{"COUNT", "COUNT"},
                                          {"SUM", "SUM"},
                                          {"AVG", "AVG"},
                                          {"MIN", "MIN"},
                                          {"MAX", "MAX"},
                                          {"STDEV", "STDDEV_SAMP"},
                                          {"STDEVP", "STDDEV_POP"},
                                          {"VAR", "VAR_SAMP"},
                                          {"VARP", "VAR_POP"},
                                          {"FIRST", ""},
                                          {"LAST", ""}};
  const std::string name = Upper(call.text);
  const Known* known = nullptr;
  for (const Known& candidate : kAggregates) {
    if (candidate.access == name) known = &candidate;
  }
  if (known == nullptr) return std::nullopt;
  if (known->sql.empty()) {
    throw NotTranslatable(call.text +
                          " takes the value of the row Access happens to read first or last, an "
                          "order the server does not keep");
  }
  if (call.children.size() != 1) {
    throw NotTranslatable(call.text + " is given " + std::to_string(call.children.size()) +
                          " arguments");
  }
  const Node& argument = *call.children[0];
  const std::string sqlName(known->sql);
  if (argument.kind == Node::Kind::Star) {
    if (name != "COUNT") throw NotTranslatable(call.text + "(*) is not an aggregate Access knows");
    return Sql{"COUNT(*)", ValueKind::Number, true, false, true};
  }
  Sql value = Value(argument);
  auto result = [&](std::string text, ValueKind kind, bool integral) {
    Sql out = Combine(std::move(text), kind, {&value}, integral);
    out.constant = false;
    return out;
  };
  if (name == "COUNT") return result("COUNT(" + value.text + ")", ValueKind::Number, true);
  if (name == "MIN" || name == "MAX") {
    if (value.kind == ValueKind::Boolean) {
      // Access's Yes is -1: the least of its values is the greatest of the server's.
      return result("(-" + std::string(name == "MIN" ? "MAX(" : "MIN(") + value.text + "))",
                    ValueKind::Number, true);
    }
    return result(sqlName + "(" + value.text + ")", value.kind, value.integral);
  }
  value = AsNumber(value);
  if (value.kind == ValueKind::Text || value.kind == ValueKind::Date) {
    throw NotTranslatable(call.text + " of a text or a date has no counterpart on the server");
  }
  if (name == "SUM") return result("SUM(" + value.text + ")", ValueKind::Number, value.integral);
  // A double, as Access's; the server's decimal average keeps only four
  // more digits than its values.
  return result(sqlName + "(" + value.text + " + 0E0)", ValueKind::Number, false);
}

Sql Translator::Between(const Node& node) {
  Sql value = Value(*node.children[0]);
  Sql low = Value(*node.children[1]);
  Sql high = Value(*node.children[2]);
  if (value.kind == ValueKind::Number || low.kind == ValueKind::Number ||
      high.kind == ValueKind::Number) {
    value = AsNumber(value);
    low = AsNumber(low);
    high = AsNumber(high);
  }
  CheckDateComparison({&value, &low, &high});
  // Access takes the two bounds in either order.
  std::string bounds;
  const Node& lowNode = *node.children[1];
  const Node& highNode = *node.children[2];
  if (lowNode.kind == Node::Kind::Number && highNode.kind == Node::Kind::Number) {
    bool swap = std::stod(lowNode.text) > std::stod(highNode.text);
    bounds = swap ? high.text + " AND " + low.text : low.text + " AND " + high.text;
  } else {
    bounds = "LEAST(" + low.text + ", " + high.text + ") AND GREATEST(" + low.text + ", " +
             high.text + ")";
  }
  return Combine("(" + value.text + (node.negated ? " NOT BETWEEN " : " BETWEEN ") + bounds + ")",
                 ValueKind::Boolean, {&value, &low, &high});
}

namespace {

// A validation rule's bare values are compared with its column:
// "0 Or >100" is "= 0 Or > 100".
void CompareBareValues(NodePtr& node) {
  if (node->kind == Node::Kind::Binary &&
      (node->text == "AND" || node->text == "OR" || node->text == "XOR")) {
    CompareBareValues(node->children[0]);
    CompareBareValues(node->children[1]);
    return;
  }
  if (node->kind == Node::Kind::Not) {
    CompareBareValues(node->children[0]);
    return;
  }
  bool bare = node->kind == Node::Kind::Number || node->kind == Node::Kind::Text ||
              node->kind == Node::Kind::Date || node->kind == Node::Kind::Boolean ||
              (node->kind == Node::Kind::Negate && node->children[0]->kind == Node::Kind::Number);
  if (!bare) return;
  auto equal = std::make_unique<Node>();
  equal->kind = Node::Kind::Binary;
  equal->text = "=";
  equal->children.push_back(std::make_unique<Node>());
  equal->children[0]->kind = Node::Kind::ImplicitColumn;
  equal->children.push_back(std::move(node));
  node = std::move(equal);
}

Translation Refuse(std::string reason) {
  Translation out;
  out.reason = std::move(reason);
  return out;
}

// A default that is a plain value, written as a literal; empty if it is not one.
std::string DefaultLiteral(const Node& node, ValueKind columnKind) {
  switch (node.kind) {
    case Node::Kind::Number:
      return node.text;
    case Node::Kind::Text:
      return QuoteText(node.text);
    case Node::Kind::Null:
      return "NULL";
    case Node::Kind::Date:
      return "'" + DateText(node.date, true) + "'";
    case Node::Kind::Boolean:
      if (columnKind == ValueKind::Boolean) return node.truth ? "1" : "0";
      return node.truth ? "-1" : "0";
    case Node::Kind::Negate:
      if (node.children[0]->kind == Node::Kind::Number) return "-" + node.children[0]->text;
      return "";
    default:
      return "";
  }
}

}  // namespace

}  // namespace detail

using detail::NotTranslatable;
using detail::Sql;

ServerDialect ServerDialect::FromVersion(std::string_view version) {
  ServerDialect dialect;
  int numbers[3] = {0, 0, 0};
  const char* at = version.data();
  const char* end = version.data() + version.size();
  for (int i = 0; i < 3 && at < end; ++i) {
    auto [next, error] = std::from_chars(at, end, numbers[i]);
    if (error != std::errc()) break;
    at = next;
    if (at < end && *at == '.') ++at;
  }
  dialect.major = numbers[0];
  dialect.minor = numbers[1];
  dialect.patch = numbers[2];
  dialect.isMariaDb = detail::Upper(version).find("MARIADB") != std::string::npos;
  return dialect;
}

bool ServerDialect::AtLeast(int wantMajor, int wantMinor, int wantPatch) const {
  if (major != wantMajor) return major > wantMajor;
  if (minor != wantMinor) return minor > wantMinor;
  return patch >= wantPatch;
}

bool ServerDialect::TakesExpressionDefaults() const {
  return isMariaDb ? AtLeast(10, 2, 1) : AtLeast(8, 0, 13);
}

bool ServerDialect::EnforcesCheckConstraints() const {
  return isMariaDb ? AtLeast(10, 2, 1) : AtLeast(8, 0, 16);
}

bool ServerDialect::HasCharacterRegexp() const {
  return isMariaDb ? AtLeast(10, 0, 5) : AtLeast(8, 0, 4);
}

Context Context::ForDefault(ValueKind columnKind, ServerDialect server) {
  Context context;
  context.purpose = Purpose::DefaultValue;
  context.server = server;
  context.column.kind = columnKind;
  return context;
}

Context Context::ForColumnRule(ColumnRef column, ServerDialect server) {
  Context context;
  context.purpose = Purpose::ColumnRule;
  context.server = server;
  context.column = std::move(column);
  return context;
}

Context Context::ForTableRule(std::vector<ColumnRef> columns, ServerDialect server) {
  Context context;
  context.purpose = Purpose::TableRule;
  context.server = server;
  context.columns = std::move(columns);
  return context;
}

Translation Translate(std::string_view accessText, const Context& context) {
  NodePtr tree;
  try {
    ParseOptions options;
    options.columnMayBeOmitted = context.purpose == Purpose::ColumnRule;
    tree = Parse(accessText, options);
  } catch (const SyntaxError& error) {
    return detail::Refuse(std::string("it is not an Access expression Bracken can read: ") +
                          error.what());
  }
  if (context.purpose == Purpose::ColumnRule) detail::CompareBareValues(tree);

  Translation out;
  Sql sql;
  try {
    if (context.purpose == Purpose::DefaultValue) {
      std::string literal = detail::DefaultLiteral(*tree, context.column.kind);
      if (!literal.empty()) {
        out.sql = literal;
        out.literal = true;
        out.constant = true;
        return out;
      }
      if (tree->kind == Node::Kind::Call && detail::Upper(tree->text) == "NOW" &&
          tree->children.empty()) {
        out.sql = "CURRENT_TIMESTAMP";
        out.constant = false;
        out.deterministic = false;
        return out;
      }
    }
    detail::Translator translator(context);
    sql = translator.Value(*tree);
  } catch (const NotTranslatable& error) {
    return detail::Refuse(error.what());
  }
  out.constant = sql.constant;
  out.deterministic = sql.deterministic;
  out.kind = sql.kind;
  out.wholeNumber = sql.integral;
  switch (context.purpose) {
    case Purpose::DefaultValue:
      if (!context.server.TakesExpressionDefaults()) {
        return detail::Refuse(
            "the server takes only plain values as defaults (MariaDB 10.2 and MySQL 8.0.13 take "
            "expressions)");
      }
      if (context.column.kind != ValueKind::Boolean) sql = detail::AsNumber(sql);
      out.sql = "(" + sql.text + ")";
      return out;
    case Purpose::ColumnRule:
    case Purpose::TableRule:
      if (!sql.deterministic) {
        return detail::Refuse(
            "the rule reads the clock (Date, Now, Time), which a CHECK constraint cannot");
      }
      if (!context.server.EnforcesCheckConstraints()) {
        return detail::Refuse(
            "the server does not enforce CHECK constraints (MariaDB 10.2 and MySQL 8.0.16 do)");
      }
      out.sql = sql.text;
      return out;
    case Purpose::QueryExpression:
      out.sql = sql.text;
      return out;
  }
  return out;
}

}  // namespace bracken::expression
