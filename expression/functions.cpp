#include "expression/functions.h"

#include <algorithm>
#include <map>

#include "expression/translator.h"

namespace bracken::expression {

namespace detail {
namespace {

using Arguments = std::vector<Sql>;
using Handler = Sql (*)(const Node& call, Arguments& args, const Context& context);

std::vector<const Sql*> All(const Arguments& args) {
  std::vector<const Sql*> parts;
  for (const Sql& arg : args) parts.push_back(&arg);
  return parts;
}

std::string List(const Arguments& args, std::size_t from = 0, std::size_t count = 99) {
  std::string out;
  for (std::size_t i = from; i < args.size() && i < from + count; ++i) {
    if (!out.empty()) out += ", ";
    out += args[i].text;
  }
  return out;
}

// `sqlName(arguments)` as one value of `kind`.
Sql Call(std::string_view sqlName, const Arguments& args, ValueKind kind, bool integral = false) {
  return Combine(std::string(sqlName) + "(" + List(args) + ")", kind, All(args), integral);
}

// An argument that must be a text written out in the expression, such as an
// interval "yyyy" or a Format pattern.
std::string LiteralText(const Node& call, std::size_t index, std::string_view what) {
  const Node& arg = *call.children[index];
  if (arg.kind != Node::Kind::Text) {
    throw NotTranslatable("the " + std::string(what) + " of " + call.text +
                          " is not a text written out in the expression");
  }
  return arg.text;
}

// A whole number written out in the expression, or nullopt.
std::optional<int> LiteralInteger(const Node& arg) {
  if (arg.kind != Node::Kind::Number || arg.text.find_first_of(".eE") != std::string::npos ||
      arg.text.size() > 6) {
    return std::nullopt;
  }
  return std::stoi(arg.text);
}

// ---- Dates ----

// A text read as a date follows the computer's regional settings in Access.
void RequireNoText(const Sql& value, std::string_view function) {
  if (value.kind == ValueKind::Text) {
    throw NotTranslatable(std::string(function) +
                          " reads a text as a date by the computer's regional settings");
  }
}

Sql Clock(std::string text, ValueKind kind) {
  Sql out{std::move(text), kind};
  out.deterministic = false;
  out.constant = false;
  return out;
}

Sql Now(const Node&, Arguments&, const Context&) { return Clock("NOW()", ValueKind::Date); }
Sql Today(const Node&, Arguments&, const Context&) {
  return Clock("CURRENT_DATE", ValueKind::Date);
}
Sql TimeOfDay(const Node&, Arguments&, const Context&) {
  // A time alone is a time on Access's day zero.
  return Clock("TIMESTAMP('1899-12-30', CURRENT_TIME)", ValueKind::Date);
}

Sql DatePartOf(std::string_view sqlName, Arguments& args) {
  RequireNoText(args[0], sqlName);
  return Call(sqlName, args, ValueKind::Number, true);
}
Sql Year(const Node&, Arguments& a, const Context&) { return DatePartOf("YEAR", a); }
Sql Month(const Node&, Arguments& a, const Context&) { return DatePartOf("MONTH", a); }
Sql Day(const Node&, Arguments& a, const Context&) { return DatePartOf("DAYOFMONTH", a); }
Sql Hour(const Node&, Arguments& a, const Context&) { return DatePartOf("HOUR", a); }
Sql Minute(const Node&, Arguments& a, const Context&) { return DatePartOf("MINUTE", a); }
Sql Second(const Node&, Arguments& a, const Context&) { return DatePartOf("SECOND", a); }

// The day of the week counted from `firstDay` (1 = Sunday, Access's default).
std::string WeekdayText(const std::string& date, const Node* firstDayNode) {
  if (firstDayNode == nullptr) return "DAYOFWEEK(" + date + ")";
  std::optional<int> firstDay = LiteralInteger(*firstDayNode);
  if (!firstDay || *firstDay < 1 || *firstDay > 7) {
    throw NotTranslatable(
        "the first day of the week is not a number from 1 to 7 written out in the expression (0 "
        "means the computer's setting)");
  }
  if (*firstDay == 1) return "DAYOFWEEK(" + date + ")";
  return "(MOD(DAYOFWEEK(" + date + ") + " + std::to_string(7 - *firstDay) + ", 7) + 1)";
}

Sql Weekday(const Node& call, Arguments& args, const Context&) {
  RequireNoText(args[0], call.text);
  const Node* firstDay = args.size() > 1 ? call.children[1].get() : nullptr;
  return Combine(WeekdayText(args[0].text, firstDay), ValueKind::Number, All(args), true);
}

std::string Interval(const Node& call, std::size_t index) {
  std::string interval = LiteralText(call, index, "interval");
  for (char& c : interval) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static constexpr std::string_view kKnown[] = {"yyyy", "q",  "m", "y", "d",
                                                "w",    "ww", "h", "n", "s"};
  if (std::find(std::begin(kKnown), std::end(kKnown), interval) == std::end(kKnown)) {
    throw NotTranslatable("\"" + interval + "\" is not an interval of " + call.text);
  }
  return interval;
}

Sql DateAdd(const Node& call, Arguments& args, const Context&) {
  RequireNoText(args[2], call.text);
  static const std::map<std::string, std::string> kUnits = {
      {"yyyy", "YEAR"}, {"q", "QUARTER"}, {"m", "MONTH"}, {"y", "DAY"},    {"d", "DAY"},
      {"w", "DAY"},     {"ww", "WEEK"},   {"h", "HOUR"},  {"n", "MINUTE"}, {"s", "SECOND"}};
  std::string unit = kUnits.at(Interval(call, 0));
  // The count loses its fraction, as in Access.
  std::string count = args[1].integral ? args[1].text : "TRUNCATE(" + args[1].text + ", 0)";
  return Combine("(" + args[2].text + " + INTERVAL " + count + " " + unit + ")", ValueKind::Date,
                 All(args));
}

// The start of the calendar week (Sunday) of `date`.
std::string WeekStart(const std::string& date) {
  return "DATE_SUB(DATE(" + date + "), INTERVAL DAYOFWEEK(" + date + ") - 1 DAY)";
}

Sql DateDiff(const Node& call, Arguments& args, const Context&) {
  RequireNoText(args[1], call.text);
  RequireNoText(args[2], call.text);
  if (args.size() > 3) {
    throw NotTranslatable("DateDiff is given the first day of the week or of the year");
  }
  std::string interval = Interval(call, 0);
  const std::string& a = args[1].text;
  const std::string& b = args[2].text;
  // Access counts the boundaries crossed between the two dates (31 Dec to
  // 1 Jan is one year), not whole periods.
  std::string text;
  if (interval == "yyyy") {
    text = "(YEAR(" + b + ") - YEAR(" + a + "))";
  } else if (interval == "q") {
    text = "((YEAR(" + b + ")*4 + QUARTER(" + b + ")) - (YEAR(" + a + ")*4 + QUARTER(" + a + ")))";
  } else if (interval == "m") {
    text = "((YEAR(" + b + ")*12 + MONTH(" + b + ")) - (YEAR(" + a + ")*12 + MONTH(" + a + ")))";
  } else if (interval == "y" || interval == "d") {
    text = "DATEDIFF(" + b + ", " + a + ")";
  } else if (interval == "w") {
    text = "(DATEDIFF(" + b + ", " + a + ") DIV 7)";
  } else if (interval == "ww") {
    text = "(DATEDIFF(" + WeekStart(b) + ", " + WeekStart(a) + ") DIV 7)";
  } else if (interval == "h") {
    text = "TIMESTAMPDIFF(HOUR, DATE_FORMAT(" + a + ", '%Y-%m-%d %H:00:00'), DATE_FORMAT(" + b +
           ", '%Y-%m-%d %H:00:00'))";
  } else if (interval == "n") {
    text = "TIMESTAMPDIFF(MINUTE, DATE_FORMAT(" + a + ", '%Y-%m-%d %H:%i:00'), DATE_FORMAT(" + b +
           ", '%Y-%m-%d %H:%i:00'))";
  } else {
    text = "TIMESTAMPDIFF(SECOND, " + a + ", " + b + ")";
  }
  return Combine(text, ValueKind::Number, All(args), true);
}

Sql DatePart(const Node& call, Arguments& args, const Context&) {
  RequireNoText(args[1], call.text);
  std::string interval = Interval(call, 0);
  const std::string& d = args[1].text;
  const Node* firstDay = args.size() > 2 ? call.children[2].get() : nullptr;
  if (args.size() > 3) throw NotTranslatable("DatePart is given the first week of the year");
  if (firstDay != nullptr && interval != "w") {
    throw NotTranslatable("DatePart is given the first day of the week for \"" + interval + "\"");
  }
  std::string text;
  if (interval == "yyyy") text = "YEAR(" + d + ")";
  if (interval == "q") text = "QUARTER(" + d + ")";
  if (interval == "m") text = "MONTH(" + d + ")";
  if (interval == "y") text = "DAYOFYEAR(" + d + ")";
  if (interval == "d") text = "DAYOFMONTH(" + d + ")";
  if (interval == "w") text = WeekdayText(d, firstDay);
  // Week 1 is the week of 1 January, weeks starting on Sunday.
  if (interval == "ww") {
    text = "((DAYOFYEAR(" + d + ") + DAYOFWEEK(MAKEDATE(YEAR(" + d + "), 1)) - 2) DIV 7 + 1)";
  }
  if (interval == "h") text = "HOUR(" + d + ")";
  if (interval == "n") text = "MINUTE(" + d + ")";
  if (interval == "s") text = "SECOND(" + d + ")";
  return Combine(text, ValueKind::Number, All(args), true);
}

Sql DateSerial(const Node&, Arguments& args, const Context&) {
  // Years 0-29 are 2000-2029 and 30-99 are 1930-1999; months and days out of
  // their range carry over (month 13 is January of the next year, day 0 the
  // last day of the month before).
  const std::string& y = args[0].text;
  std::string year = "IF(" + y + " BETWEEN 0 AND 29, " + y + " + 2000, IF(" + y +
                     " BETWEEN 30 AND 99, " + y + " + 1900, " + y + "))";
  std::string text = "(MAKEDATE(" + year + ", 1) + INTERVAL (" + args[1].text +
                     ") - 1 MONTH + INTERVAL (" + args[2].text + ") - 1 DAY)";
  return Combine(text, ValueKind::Date, All(args));
}

// ---- Texts ----

Sql Len(const Node&, Arguments& a, const Context&) {
  return Call("CHAR_LENGTH", a, ValueKind::Number, true);
}
Sql Left(const Node&, Arguments& a, const Context&) { return Call("LEFT", a, ValueKind::Text); }
Sql Right(const Node&, Arguments& a, const Context&) { return Call("RIGHT", a, ValueKind::Text); }
Sql Mid(const Node&, Arguments& a, const Context&) { return Call("SUBSTRING", a, ValueKind::Text); }
Sql Trim(const Node&, Arguments& a, const Context&) { return Call("TRIM", a, ValueKind::Text); }
Sql LTrim(const Node&, Arguments& a, const Context&) { return Call("LTRIM", a, ValueKind::Text); }
Sql RTrim(const Node&, Arguments& a, const Context&) { return Call("RTRIM", a, ValueKind::Text); }
Sql UCase(const Node&, Arguments& a, const Context&) { return Call("UPPER", a, ValueKind::Text); }
Sql LCase(const Node&, Arguments& a, const Context&) { return Call("LOWER", a, ValueKind::Text); }

Sql InStr(const Node& call, Arguments& args, const Context&) {
  if (args.size() == 2) {
    return Combine("LOCATE(" + args[1].text + ", " + args[0].text + ")", ValueKind::Number,
                   All(args), true);
  }
  if (args.size() == 4) {
    std::optional<int> compare = LiteralInteger(*call.children[3]);
    if (!compare || (*compare != 1 && *compare != 2)) {
      throw NotTranslatable("InStr compares other than as text (only 1 and 2 are translated)");
    }
  }
  return Combine("LOCATE(" + args[2].text + ", " + args[1].text + ", " + args[0].text + ")",
                 ValueKind::Number, All(args), true);
}

Sql Replace(const Node&, Arguments& args, const Context&) {
  if (args.size() > 3) throw NotTranslatable("Replace is given a start, a count or a comparison");
  return Call("REPLACE", args, ValueKind::Text);
}

// ---- Choices and Null ----

Sql IIf(const Node&, Arguments& args, const Context&) {
  Sql yes = args[1];
  Sql no = args[2];
  if (yes.kind != no.kind) {
    yes = AsNumber(yes);
    no = AsNumber(no);
  }
  ValueKind kind = yes.kind == no.kind ? yes.kind : ValueKind::Unknown;
  return Combine("IF(" + args[0].text + ", " + yes.text + ", " + no.text + ")", kind, All(args),
                 yes.integral && no.integral);
}

Sql Nz(const Node&, Arguments& args, const Context&) {
  if (args.size() == 2) {
    ValueKind kind = args[0].kind == args[1].kind ? args[0].kind : ValueKind::Unknown;
    return Combine("COALESCE(" + List(args) + ")", kind, All(args));
  }
  // Without a second argument Null becomes zero or empty text, by the kind of value.
  if (args[0].kind == ValueKind::Number) {
    return Combine("COALESCE(" + args[0].text + ", 0)", ValueKind::Number, All(args),
                   args[0].integral);
  }
  if (args[0].kind == ValueKind::Text) {
    return Combine("COALESCE(" + args[0].text + ", '')", ValueKind::Text, All(args));
  }
  throw NotTranslatable("Nz has no second argument and its value is neither a number nor a text");
}

Sql IsNull(const Node&, Arguments& args, const Context&) {
  return Combine("(" + args[0].text + " IS NULL)", ValueKind::Boolean, All(args));
}

// ---- Numbers ----

Sql Int(const Node&, Arguments& a, const Context&) {
  return Call("FLOOR", a, ValueKind::Number, true);
}
Sql Fix(const Node&, Arguments& a, const Context&) {
  return Combine("TRUNCATE(" + a[0].text + ", 0)", ValueKind::Number, All(a), true);
}
Sql Abs(const Node&, Arguments& a, const Context&) {
  return Call("ABS", a, ValueKind::Number, a[0].integral);
}
Sql Sgn(const Node&, Arguments& a, const Context&) {
  return Call("SIGN", a, ValueKind::Number, true);
}

Sql Round(const Node& call, Arguments& args, const Context&) {
  int digits = 0;
  if (args.size() == 2) {
    std::optional<int> given = LiteralInteger(*call.children[1]);
    if (!given || *given > 15) {
      throw NotTranslatable("the number of decimals of Round is not written out in the expression");
    }
    digits = *given;
  }
  return Combine(BankersRound(args[0].text, digits), ValueKind::Number, All(args), digits == 0);
}

Sql Val(const Node&, Arguments& args, const Context& context) {
  if (!context.server.HasCharacterRegexp()) {
    throw NotTranslatable("Val needs REGEXP_SUBSTR, which this server does not have");
  }
  // The number at the start of the text, spaces, tabs and line feeds
  // anywhere ignored; 0 where there is none.
  const std::string& x = args[0].text;
  std::string stripped = "REPLACE(REPLACE(REPLACE(" + x + ", ' ', ''), CHAR(9), ''), CHAR(10), '')";
  std::string number =
      "REGEXP_SUBSTR(" + stripped + ", '^[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?')";
  return Combine("IF(" + x + " IS NULL, NULL, COALESCE(NULLIF(" + number + ", ''), '0') + 0E0)",
                 ValueKind::Number, All(args));
}

// ---- Conversions ----

Sql CInt(const Node&, Arguments& args, const Context&) {
  return Combine("CAST(" + BankersRound(AsNumber(args[0]).text, 0) + " AS SIGNED)",
                 ValueKind::Number, All(args), true);
}
Sql CDbl(const Node&, Arguments& args, const Context&) {
  return Combine("(" + AsNumber(args[0]).text + " + 0E0)", ValueKind::Number, All(args));
}
Sql CCur(const Node&, Arguments& args, const Context&) {
  return Combine("CAST(" + BankersRound(AsNumber(args[0]).text, 4) + " AS DECIMAL(19,4))",
                 ValueKind::Number, All(args));
}
Sql CStr(const Node& call, Arguments& args, const Context&) {
  if (args[0].kind == ValueKind::Text) return args[0];
  if (args[0].kind == ValueKind::Number && args[0].integral) {
    return Combine("CAST(" + args[0].text + " AS CHAR)", ValueKind::Text, All(args));
  }
  throw NotTranslatable(call.text +
                        " writes this value in the computer's regional format or with its own "
                        "digits");
}
Sql CBool(const Node& call, Arguments& args, const Context&) {
  if (args[0].kind == ValueKind::Boolean) return args[0];
  if (args[0].kind == ValueKind::Number) {
    return Combine("(" + args[0].text + " <> 0)", ValueKind::Boolean, All(args));
  }
  throw NotTranslatable(call.text + " is given a value that is not a number");
}
Sql CDate(const Node& call, Arguments& args, const Context&) {
  if (args[0].kind == ValueKind::Date) return args[0];
  throw NotTranslatable(call.text +
                        " reads a text or a number as a date by the computer's "
                        "regional settings");
}

// ---- Format ----

// A date pattern as the pieces of a CONCAT: DATE_FORMAT codes where MySQL
// has one, else a function (minutes and seconds without a leading zero).
// Names of months and days are the server's English ones.
std::string DatePattern(const std::string& value, std::string_view pattern) {
  std::string lower(pattern);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  bool twelveHour = lower.find("am/pm") != std::string::npos;
  std::vector<std::string> pieces;
  std::string codes;
  auto flush = [&] {
    if (!codes.empty()) pieces.push_back("DATE_FORMAT(" + value + ", " + QuoteText(codes) + ")");
    codes.clear();
  };
  bool afterHour = false;
  std::size_t i = 0;
  // How many times `c` repeats from i on (at least once).
  auto run = [&](char c) {
    std::size_t n = 1;
    while (i + n < lower.size() && lower[i + n] == c) ++n;
    return n;
  };
  while (i < lower.size()) {
    char c = lower[i];
    if (lower.compare(i, 5, "am/pm") == 0) {
      if (pattern.substr(i, 2) == "AM") {
        codes += "%p";
      } else {
        flush();
        pieces.push_back("LOWER(DATE_FORMAT(" + value + ", '%p'))");
      }
      i += 5;
      continue;
    }
    std::size_t n = run(c);
    // m right after an hour, or right before seconds, is minutes.
    std::size_t next = lower.find_first_not_of(" :", i + n);
    bool minuteM =
        c == 'm' && n <= 2 && (afterHour || (next != std::string::npos && lower[next] == 's'));
    if (c == 'y' && (n == 4 || n == 2)) {
      codes += n == 4 ? "%Y" : "%y";
    } else if ((c == 'm' && minuteM) || (c == 'n' && n <= 2)) {
      if (n == 2) {
        codes += "%i";
      } else {
        flush();
        pieces.push_back("MINUTE(" + value + ")");
      }
    } else if (c == 'm' && n <= 4) {
      static constexpr const char* kMonth[] = {"%c", "%m", "%b", "%M"};
      codes += kMonth[n - 1];
    } else if (c == 'd' && n <= 4) {
      static constexpr const char* kDay[] = {"%e", "%d", "%a", "%W"};
      codes += kDay[n - 1];
    } else if (c == 'h' && n <= 2) {
      codes += twelveHour ? (n == 2 ? "%h" : "%l") : (n == 2 ? "%H" : "%k");
    } else if (c == 's' && n <= 2) {
      if (n == 2) {
        codes += "%s";
      } else {
        flush();
        pieces.push_back("SECOND(" + value + ")");
      }
    } else if (c == '\\' && i + 1 < lower.size()) {
      codes += pattern[i + 1] == '%' ? std::string("%%") : std::string(1, pattern[i + 1]);
      n = 2;
    } else if (std::string_view("/-:., ").find(c) != std::string_view::npos) {
      codes += c;
      n = 1;
    } else {
      throw NotTranslatable("the Format pattern \"" + std::string(pattern) +
                            "\" holds parts Bracken does not translate");
    }
    afterHour = c == 'h' || (afterHour && std::string_view(" :").find(c) != std::string_view::npos);
    i += n;
  }
  flush();
  if (pieces.size() == 1) return pieces[0];
  std::string out = "CONCAT(";
  for (std::size_t k = 0; k < pieces.size(); ++k) out += (k ? ", " : "") + pieces[k];
  return out + ")";
}

// "0", "0.00", "#,##0", "#,##0.00", "0%", "0.0%": digits after the point,
// thousands separators, percent. False for any other pattern.
bool NumberPattern(std::string_view pattern, int& decimals, bool& thousands, bool& percent) {
  thousands = pattern.substr(0, 4) == "#,##";
  if (thousands) pattern.remove_prefix(4);
  percent = !pattern.empty() && pattern.back() == '%';
  if (percent) pattern.remove_suffix(1);
  if (pattern.empty() || pattern[0] != '0') return false;
  pattern.remove_prefix(1);
  decimals = 0;
  if (pattern.empty()) return true;
  if (pattern[0] != '.' || pattern.size() < 2) return false;
  pattern.remove_prefix(1);
  if (pattern.find_first_not_of('0') != std::string_view::npos) return false;
  decimals = static_cast<int>(pattern.size());
  return true;
}

Sql Format(const Node& call, Arguments& args, const Context&) {
  if (args.size() > 2) throw NotTranslatable("Format is given the first day of week or year");
  std::string pattern = LiteralText(call, 1, "pattern");
  std::string name = Upper(pattern);
  const std::string x = AsNumber(args[0]).text;
  // The named formats as an English (United States) computer shows them.
  static const std::map<std::string, std::string> kNamedDates = {
      {"LONG DATE", "dddd, mmmm d, yyyy"}, {"MEDIUM DATE", "dd-mmm-yy"},
      {"SHORT DATE", "m/d/yyyy"},          {"LONG TIME", "h:nn:ss AM/PM"},
      {"MEDIUM TIME", "hh:nn AM/PM"},      {"SHORT TIME", "hh:nn"}};
  std::string text;
  std::string fixed = "CAST(" + x + " AS DECIMAL(65,30))";
  auto plain = [&](int decimals, bool thousands) {
    std::string formatted = "FORMAT(" + fixed + ", " + std::to_string(decimals) + ")";
    return thousands ? formatted : "REPLACE(" + formatted + ", ',', '')";
  };
  int decimals = 0;
  bool thousands = false;
  bool percent = false;
  if (auto named = kNamedDates.find(name); named != kNamedDates.end()) {
    RequireNoText(args[0], call.text);
    text = DatePattern(x, named->second);
  } else if (name == "GENERAL DATE") {
    RequireNoText(args[0], call.text);
    text = "IF(TIME(" + x + ") = 0, " + DatePattern(x, "m/d/yyyy") + ", IF(DATE(" + x +
           ") = '1899-12-30', " + DatePattern(x, "h:nn:ss AM/PM") + ", " +
           DatePattern(x, "m/d/yyyy h:nn:ss AM/PM") + "))";
  } else if (name == "CURRENCY") {
    text = "IF(" + x + " < 0, CONCAT('($', FORMAT(-" + fixed + ", 2), ')'), CONCAT('$', " +
           plain(2, true) + "))";
  } else if (name == "FIXED") {
    text = plain(2, false);
  } else if (name == "STANDARD") {
    text = plain(2, true);
  } else if (name == "PERCENT") {
    fixed = "CAST(" + x + " * 100 AS DECIMAL(65,30))";
    text = "CONCAT(" + plain(2, false) + ", '%')";
  } else if (NumberPattern(pattern, decimals, thousands, percent)) {
    if (percent) fixed = "CAST(" + x + " * 100 AS DECIMAL(65,30))";
    text = plain(decimals, thousands);
    if (percent) text = "CONCAT(" + text + ", '%')";
  } else if (pattern.find_first_of("0#") == std::string::npos) {
    RequireNoText(args[0], call.text);
    text = DatePattern(x, pattern);
  } else {
    throw NotTranslatable("the Format pattern \"" + pattern + "\" is not one Bracken translates");
  }
  return Combine(text, ValueKind::Text, All(args));
}

struct Entry {
  FunctionInfo info;
  Handler handler;
};

const std::vector<Entry>& Table() {
  static const std::vector<Entry> kTable = {
      {{"Now", 0, 0, true}, Now},
      {{"Date", 0, 0, true}, Today},
      {{"Time", 0, 0, true}, TimeOfDay},
      {{"Year", 1, 1, false}, Year},
      {{"Month", 1, 1, false}, Month},
      {{"Day", 1, 1, false}, Day},
      {{"Hour", 1, 1, false}, Hour},
      {{"Minute", 1, 1, false}, Minute},
      {{"Second", 1, 1, false}, Second},
      {{"Weekday", 1, 2, false}, Weekday},
      {{"DateAdd", 3, 3, false}, DateAdd},
      {{"DateDiff", 3, 5, false}, DateDiff},
      {{"DatePart", 2, 4, false}, DatePart},
      {{"DateSerial", 3, 3, false}, DateSerial},
      {{"Len", 1, 1, false}, Len},
      {{"Left", 2, 2, false}, Left},
      {{"Right", 2, 2, false}, Right},
      {{"Mid", 2, 3, false}, Mid},
      {{"InStr", 2, 4, false}, InStr},
      {{"Trim", 1, 1, false}, Trim},
      {{"LTrim", 1, 1, false}, LTrim},
      {{"RTrim", 1, 1, false}, RTrim},
      {{"UCase", 1, 1, false}, UCase},
      {{"LCase", 1, 1, false}, LCase},
      {{"Replace", 3, 6, false}, Replace},
      {{"IIf", 3, 3, false}, IIf},
      {{"Nz", 1, 2, false}, Nz},
      {{"IsNull", 1, 1, false}, IsNull},
      {{"Int", 1, 1, false}, Int},
      {{"Fix", 1, 1, false}, Fix},
      {{"Abs", 1, 1, false}, Abs},
      {{"Round", 1, 2, false}, Round},
      {{"Sgn", 1, 1, false}, Sgn},
      {{"Val", 1, 1, false}, Val},
      {{"CStr", 1, 1, false}, CStr},
      {{"CInt", 1, 1, false}, CInt},
      {{"CLng", 1, 1, false}, CInt},
      {{"CDbl", 1, 1, false}, CDbl},
      {{"CCur", 1, 1, false}, CCur},
      {{"CDate", 1, 1, false}, CDate},
      {{"CBool", 1, 1, false}, CBool},
      {{"Format", 2, 4, false}, Format},
  };
  return kTable;
}

const Entry* FindEntry(std::string_view name) {
  std::string wanted = Upper(name);
  for (const Entry& entry : Table()) {
    if (Upper(entry.info.name) == wanted) return &entry;
  }
  return nullptr;
}

}  // namespace

Sql TranslateCall(const Node& call, Translator& translator) {
  if (IsDomainFunction(call.text)) {
    throw NotTranslatable(call.text +
                          " is a domain function of Access, which runs a query of its "
                          "own");
  }
  const Entry* entry = FindEntry(call.text);
  if (entry == nullptr) {
    throw NotTranslatable(call.text +
                          " is not an Access function Bracken translates (it may be a VBA "
                          "function of the database)");
  }
  int count = static_cast<int>(call.children.size());
  if (count < entry->info.minArguments || count > entry->info.maxArguments) {
    throw NotTranslatable(std::string(entry->info.name) + " is given " + std::to_string(count) +
                          " arguments");
  }
  Arguments args;
  for (const NodePtr& child : call.children) args.push_back(translator.Value(*child));
  return entry->handler(call, args, translator.context());
}

std::string LikeCondition(const std::string& value, std::string_view pattern,
                          const ServerDialect& server) {
  // Read once into LIKE's and REGEXP's spellings; LIKE serves while the
  // pattern has only *, ? and literal characters.
  std::string like;
  std::string regexp = "(?s)^";
  bool needsRegexp = false;
  auto literal = [&](char c) {
    if (c == '%' || c == '_' || c == '\\') like += '\\';
    like += c;
    bool plain =
        std::isalnum(static_cast<unsigned char>(c)) != 0 || static_cast<unsigned char>(c) >= 0x80;
    if (!plain) regexp += '\\';
    regexp += c;
  };
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '*') {
      like += '%';
      regexp += ".*";
    } else if (c == '?') {
      like += '_';
      regexp += '.';
    } else if (c == '#') {
      needsRegexp = true;
      regexp += "[0-9]";
    } else if (c == '[') {
      std::size_t end = pattern.find(']', i + 1);
      if (end == std::string_view::npos) {
        throw NotTranslatable("the Like pattern has a [ without its ]");
      }
      std::string_view inside = pattern.substr(i + 1, end - i - 1);
      i = end;
      if (inside.size() == 1 && inside[0] != '!') {
        literal(inside[0]);
        continue;
      }
      if (inside.empty()) {
        // [] matches nothing: the empty text in between.
        continue;
      }
      needsRegexp = true;
      regexp += '[';
      std::size_t k = 0;
      if (inside[0] == '!') {
        regexp += '^';
        k = 1;
        if (inside.size() == 1) throw NotTranslatable("the Like pattern has an empty [!]");
      }
      for (; k < inside.size(); ++k) {
        char m = inside[k];
        bool range = m == '-' && k > 0 && k + 1 < inside.size() && !(k == 1 && inside[0] == '!');
        if (range) {
          unsigned char from = static_cast<unsigned char>(inside[k - 1]);
          unsigned char to = static_cast<unsigned char>(inside[k + 1]);
          if (from >= 0x80 || to >= 0x80 || from > to) {
            throw NotTranslatable("the Like pattern has the range [" + std::string(inside) +
                                  "], whose ends are out of order or not plain letters and digits");
          }
          regexp += '-';
          continue;
        }
        if (std::isalnum(static_cast<unsigned char>(m)) == 0 &&
            static_cast<unsigned char>(m) < 0x80) {
          regexp += '\\';
        }
        regexp += m;
      }
      regexp += ']';
    } else {
      literal(c);
    }
  }
  if (!needsRegexp) return "(" + value + " LIKE " + QuoteText(like) + ")";
  if (!server.HasCharacterRegexp()) {
    throw NotTranslatable(
        "the Like pattern needs a regular expression, which this server reads "
        "byte by byte");
  }
  return "(" + value + " REGEXP " + QuoteText(regexp + "\\z") + ")";
}

namespace {

// One REGEXP_REPLACE over `subject`: `regexp` becomes `replacement`, where
// "$1" stands for the first group (each server spells it its own way).
std::string ReplaceOnServer(const std::string& subject, std::string_view regexp,
                            std::string_view replacement, const ServerDialect& server) {
  std::string spelled;
  for (std::size_t i = 0; i < replacement.size(); ++i) {
    if (replacement.compare(i, 2, "$1") == 0) {
      spelled += server.isMariaDb ? "\\1" : "$1";
      ++i;
    } else {
      spelled += replacement[i];
    }
  }
  return "REGEXP_REPLACE(" + subject + ", " + QuoteText(regexp) + ", " + QuoteText(spelled) + ")";
}

// Replaces each `token` that stands outside a character class of the
// pattern being built, reading it from the start one piece at a time: an
// escaped character, a plain one, or a whole class ("[...]" not led by "!").
std::string ReplaceOutsideClasses(const std::string& subject, std::string_view token,
                                  std::string_view escapedExcept, std::string_view replacement,
                                  const ServerDialect& server) {
  std::string regexp = "\\G((?>\\\\";
  regexp += escapedExcept.empty() ? std::string(".") : "[^" + std::string(escapedExcept) + "]";
  regexp += "|[^\\\\\\[]|\\[(?!!)(?:[^\\\\\\]]|\\\\.)+\\])*)";
  regexp += token;
  return ReplaceOnServer(subject, regexp, "$1" + std::string(replacement), server);
}

}  // namespace

std::string LikeConditionOnServer(const std::string& value, const std::string& pattern,
                                  const ServerDialect& server) {
  if (!server.HasCharacterRegexp()) {
    throw NotTranslatable(
        "the Like pattern is built when the query runs and needs a regular expression, which "
        "this server reads byte by byte");
  }
  // The pattern becomes the regular expression LikeCondition writes for a
  // pattern written out, step by step on the server:
  // 1. every ASCII punctuation mark but ! and - is escaped (both mean
  //    nothing outside a class and keep their meaning inside one);
  std::string text = ReplaceOnServer(
      pattern, "([\\x20\\x22-\\x2C\\x2E\\x2F\\x3A-\\x40\\x5B-\\x60\\x7B-\\x7E])", "\\\\$1", server);
  // 2. each [...] becomes a class, its content as it is; "[!]" stays, see 6;
  text =
      ReplaceOnServer(text, "\\\\\\[((?!!\\\\\\])(?:[^\\\\]|\\\\[^\\]])*)\\\\\\]", "[$1]", server);
  // 3. an empty [] matches the empty text between its neighbours; [! leads
  //    a class of the characters not listed;
  text = ReplaceOutsideClasses(text, "\\[\\]", "", "", server);
  text = ReplaceOutsideClasses(text, "\\[!", "", "[^", server);
  // 4. *, ? and # outside a class are the wildcards;
  text = ReplaceOutsideClasses(text, "\\\\\\*", "*", ".*", server);
  text = ReplaceOutsideClasses(text, "\\\\\\?", "?", ".", server);
  text = ReplaceOutsideClasses(text, "\\\\#", "#", "[0-9]", server);
  // 5. a [ without its ] (or "[!]") is an invalid pattern, which Access
  //    refuses when the query runs: the server does too, as a regular
  //    expression with a class that is never closed.
  text = ReplaceOutsideClasses(text, "\\\\\\[", "\\[", "[", server);
  // 6. a range with an end beyond ASCII: Access orders such letters by its
  //    own sort order, which a regular expression does not know. Refused
  //    as written out; here the query fails rather than give other rows.
  text = ReplaceOutsideClasses(
      text,
      "\\[(?>\\^?)(?:[^\\\\\\]]|\\\\.)*?(?:[^\\x00-\\x7F]-[^\\]]|(?:[^\\\\\\]]|"
      "\\\\.)-[^\\x00-\\x7F\\]])",
      "", "(", server);
  // A Null pattern leaves Null, and so does Like.
  return "(" + value + " REGEXP CONCAT('(?s)^', " + text + ", '\\\\z'))";
}

}  // namespace detail

const FunctionInfo* FindFunction(std::string_view name) {
  const detail::Entry* entry = detail::FindEntry(name);
  return entry == nullptr ? nullptr : &entry->info;
}

bool IsDomainFunction(std::string_view name) {
  static constexpr std::string_view kDomain[] = {"DLOOKUP", "DCOUNT",  "DSUM",   "DAVG",
                                                 "DMIN",    "DMAX",    "DFIRST", "DLAST",
                                                 "DSTDEV",  "DSTDEVP", "DVAR",   "DVARP"};
  std::string upper = detail::Upper(name);
  return std::find(std::begin(kDomain), std::end(kDomain), upper) != std::end(kDomain);
}

}  // namespace bracken::expression
