// What the translation refuses: text that is no expression, and
// expressions whose meaning the server cannot reproduce, each with its
// reason. Mangled input never crashes and never yields text the server
// cannot read.

#include <random>

#include "expression/parser.h"
#include "tests/expression/expression_server.h"

namespace bracken::testing {
namespace {

using expression::ColumnRef;
using expression::Context;
using expression::Purpose;
using expression::ServerDialect;
using expression::Translate;
using expression::ValueKind;

Context QueryContext() {
  Context context;
  context.resolve = [](const std::vector<std::string>& parts) -> std::optional<ColumnRef> {
    if (parts.back() == "Total") return ColumnRef{"Total", "`Total`", ValueKind::Number};
    if (parts.back() == "Anything") return ColumnRef{"Anything", "`Anything`"};
    return std::nullopt;
  };
  return context;
}

TEST(ExpressionSyntax, BadTextIsRefusedWithWhereItWentWrong) {
  const std::vector<std::string> bad = {
      "",
      "(",
      "1 +",
      "#13/1/2000#",
      "#2/30/2001#",
      "#1/1/2000",
      "\"abc",
      "[abc",
      "1 2",
      "Between",
      "1 Is 5",
      "In (1, 2)",
      "3x",
      "f(1,",
      ")",
      "Not",
      "1 Like",
      "[]",
      "#25:00#",
      "1 Between 2",
      "a.",
      "x!",
      "1 ~ 2",
      "#1:2:3:4#",
      "#12 PM#",
      "'it''s",
      "Mod 3",
      "1 = = 2",
      "(1))",
      "#0/1/2000#",
      "1e999 & \"\"",
      "5 Between 1E400 And 1",
  };
  for (const std::string& text : bad) {
    expression::Translation translation = Translate(text, QueryContext());
    EXPECT_FALSE(translation.ok()) << text << " -> " << translation.sql;
    EXPECT_EQ(translation.reason.rfind("it is not an Access expression Bracken can read: ", 0), 0u)
        << text << ": " << translation.reason;
  }
  EXPECT_NE(Translate("1 +", QueryContext()).reason.find("ends too early"), std::string::npos);
  EXPECT_NE(Translate("#2/30/2001#", QueryContext()).reason.find("#2/30/2001#"), std::string::npos);
}

TEST(ExpressionSyntax, DeepNestingIsRefusedNotOverflowed) {
  for (const char* open : {"(", "-", "Not ", "2^"}) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += open;
    text += "1";
    EXPECT_NE(Translate(text, QueryContext()).reason.find("nested too deeply"), std::string::npos)
        << open;
  }
  std::string fine = std::string(50, '(') + "1" + std::string(50, ')');
  EXPECT_TRUE(Translate(fine, QueryContext()).ok());
}

TEST(ExpressionRefusals, EachNamesItsReason) {
  struct Refusal {
    std::string text;
    Purpose purpose;
    std::string because;
  };
  const std::vector<Refusal> refusals = {
      {R"(DLookup("Name", "Customers", "ID=1"))", Purpose::QueryExpression, "domain function"},
      {"MyDiscount([Total])", Purpose::QueryExpression, "VBA function"},
      {"[Forms]![Orders]![Total]", Purpose::QueryExpression, "open form"},
      {"[Price] * 2", Purpose::QueryExpression, "[Price] is not a column"},
      {"[Other] > 0", Purpose::ColumnRule, "not its column"},
      {"[Total]", Purpose::DefaultValue, "default value cannot refer to [Total]"},
      {R"(Format([Total], "@@@"))", Purpose::QueryExpression, "Format pattern"},
      {R"("abc" Like [Total])", Purpose::QueryExpression, "pattern of Like"},
      {R"("abc" Like "a[b")", Purpose::QueryExpression, "[ without its ]"},
      {R"("b" Like "[c-a]")", Purpose::QueryExpression, "out of order"},
      {R"(DateAdd("zz", 1, #1/1/2000#))", Purpose::QueryExpression, "not an interval"},
      {R"(DateAdd([Total], 1, #1/1/2000#))", Purpose::QueryExpression, "interval of DateAdd"},
      {"Weekday(#1/1/2000#, 0)", Purpose::QueryExpression, "first day of the week"},
      {"5 And 3", Purpose::QueryExpression, "bit by bit"},
      {"Not [Total]", Purpose::QueryExpression, "bit by bit"},
      {R"(CDate("1/2/2000"))", Purpose::QueryExpression, "regional"},
      {"CStr(#1/1/2000#)", Purpose::QueryExpression, "regional"},
      {R"(#1/1/2000# & "")", Purpose::QueryExpression, "regional"},
      {"#1/1/2000# > 3", Purpose::QueryExpression, "date is compared with a number"},
      {R"(#1/1/2000# = "1/1/2000")", Purpose::QueryExpression, "date is compared with a text"},
      {"#1/1/2000# * 2", Purpose::QueryExpression, "applied to a date"},
      {"Left(\"a\")", Purpose::QueryExpression, "Left is given 1 arguments"},
      {"Round([Total], [Total])", Purpose::QueryExpression, "number of decimals"},
      {R"(Replace("a", "b", "c", 2))", Purpose::QueryExpression, "start, a count"},
      {R"(InStr(1, "a", "b", 0))", Purpose::QueryExpression, "compares other than as text"},
      {"Nz(Null)", Purpose::QueryExpression, "neither a number nor a text"},
      {R"(Year("1/2/2000"))", Purpose::QueryExpression, "regional settings"},
      {R"(Format("1/2/2000", "yyyy"))", Purpose::QueryExpression, "regional settings"},
      {R"([Anything] + "a")", Purpose::QueryExpression, "kind is not known"},
      {R"([Anything] & "a")", Purpose::QueryExpression, "unknown kind"},
      {R"([Total] & " EUR")", Purpose::QueryExpression, "Access's own digits"},
  };
  for (const Refusal& r : refusals) {
    Context context = QueryContext();
    context.purpose = r.purpose;
    context.column = ColumnRef{"Amount", "`Amount`", ValueKind::Number};
    expression::Translation translation = Translate(r.text, context);
    EXPECT_FALSE(translation.ok()) << r.text << " -> " << translation.sql;
    EXPECT_NE(translation.reason.find(r.because), std::string::npos)
        << r.text << ": " << translation.reason;
  }
  // A whole number reads the same on both sides.
  Context counted = Context::ForColumnRule({"Qty", "`Qty`", ValueKind::Number, true}, {});
  EXPECT_TRUE(Translate(R"(Len([Qty] & "") < 4)", counted).ok());

  Context oldMySql = QueryContext();
  oldMySql.server = ServerDialect::FromVersion("5.7.44");
  EXPECT_NE(Translate(R"("a1" Like "a#")", oldMySql).reason.find("byte by byte"),
            std::string::npos);
  EXPECT_TRUE(Translate(R"("ab" Like "a*")", oldMySql).ok());
}

// Valid expressions mangled a character at a time: each translation either
// refuses with a reason or yields text the server reads.
using MangledExpressions = ExpressionServerTest;

TEST_F(MangledExpressions, NeverCrashAndNeverYieldUnreadableSql) {
  const std::vector<std::string> seeds = {
      R"(IIf([Total] > 100, Format([Total], "#,##0.00"), "small") & " EUR")",
      R"(DateDiff("ww", #1/1/2000 10:00 PM#, DateAdd("m", -3, Date())) \ 2 Mod 7)",
      R"(Not ([Total] Between 1 And 9) Or [Total] In (1, 2.5, -3E2) Xor "a" Like "[!a-c]#*")",
      R"(Nz(Mid(UCase(Trim("  x ")), InStr(1, "abc", "b"), 2), 'none') = "B" Imp True)",
      R"(Round(-2.5 ^ 2 * CInt("3") / Val("4x"), 2) + Year(#2000-02-29#) - Len(Null & 1))",
  };
  const std::string alphabet = "()[]#\"',.!&+-*/\\^<>= 0123456789aAzZ*?";
  std::mt19937 random(21);
  Context context = QueryContext();
  context.server = Dialect();
  int translated = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = seeds[random() % seeds.size()];
    int edits = 1 + static_cast<int>(random() % 3);
    for (int e = 0; e < edits && !text.empty(); ++e) {
      std::size_t at = random() % text.size();
      switch (random() % 4) {
        case 0:
          text.erase(at, 1);
          break;
        case 1:
          text.insert(at, 1, alphabet[random() % alphabet.size()]);
          break;
        case 2:
          text[at] = alphabet[random() % alphabet.size()];
          break;
        default:
          text.resize(at);
      }
    }
    expression::Translation translation = Translate(text, context);
    if (!translation.ok()) {
      EXPECT_FALSE(translation.reason.empty()) << text;
      continue;
    }
    ++translated;
    std::string sql = translation.sql;
    for (std::size_t at = sql.find("`Total`"); at != std::string::npos; at = sql.find("`Total`")) {
      sql.replace(at, 7, "(12.5)");
    }
    try {
      query_->Value("SELECT " + sql);
    } catch (const std::exception& error) {
      ADD_FAILURE() << text << "\n -> " << translation.sql << "\n " << error.what();
    }
  }
  EXPECT_GT(translated, 100);
}

}  // namespace
}  // namespace bracken::testing
