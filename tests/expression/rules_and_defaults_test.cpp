// Validation rules (with and without their column) and default values, on
// the server: rules as CHECK conditions and constraints, defaults as the
// DEFAULT clauses of a real table.

#include <map>

#include "tests/expression/expression_server.h"
#include "tests/support/scratch_database.h"

namespace bracken::testing {
namespace {

using expression::ColumnRef;
using expression::Context;
using expression::ServerDialect;
using expression::Translate;
using expression::ValueKind;

using Rules = ExpressionServerTest;
using Defaults = ExpressionServerTest;

struct RuleCase {
  std::string rule;
  ValueKind kind;
  // The column's value as SQL, and whether Access lets it pass the rule.
  std::string value;
  bool passes;
};

TEST_F(Rules, AColumnRuleMayLeaveOutItsColumn) {
  const std::vector<RuleCase> cases = {
      {">=0", ValueKind::Number, "5", true},
      {">=0", ValueKind::Number, "-1", false},
      // Null passes every rule that does not ask for a value.
      {">=0", ValueKind::Number, "NULL", true},
      {"<>0", ValueKind::Number, "0", false},
      {"Is Null Or >=#1/1/2000#", ValueKind::Date, "NULL", true},
      {"Is Null Or >=#1/1/2000#", ValueKind::Date, "TIMESTAMP'1999-12-31 23:59:59'", false},
      {"Is Null Or >=#1/1/2000#", ValueKind::Date, "TIMESTAMP'2000-01-01 00:00:00'", true},
      {"Is Not Null", ValueKind::Text, "NULL", false},
      {R"(In ("a","b"))", ValueKind::Text, "'A'", true},
      {R"(In ("a","b"))", ValueKind::Text, "'c'", false},
      {R"(Not In ("a","b"))", ValueKind::Text, "'c'", true},
      {R"(Like "A*")", ValueKind::Text, "'apple'", true},
      {R"(Like "A*")", ValueKind::Text, "'banana'", false},
      {R"(Not Like "A*")", ValueKind::Text, "'apple'", false},
      {R"(Like "###-####")", ValueKind::Text, "'555-1234'", true},
      {R"(Like "###-####")", ValueKind::Text, "'555-12345'", false},
      {"Between 1 And 9", ValueKind::Number, "9", true},
      {"Between 1 And 9", ValueKind::Number, "10", false},
      {"Not Between 1 And 5", ValueKind::Number, "3", false},
      // Bare values are compared with the column: "0 Or >100".
      {"0 Or >100", ValueKind::Number, "0", true},
      {"0 Or >100", ValueKind::Number, "50", false},
      {"0 Or >100", ValueKind::Number, "101", true},
      {R"("a" Or "b")", ValueKind::Text, "'B'", true},
      {"=1 Or =2", ValueKind::Number, "3", false},
      {"[Qty] > 0 And [Qty] < 10", ValueKind::Number, "5", true},
      {"Len([Code]) = 3", ValueKind::Text, "'ab'", false},
      {"Len([Code]) = 3", ValueKind::Text, "'abc'", true},
      {">=#1/1/2000# And <#1/1/2001#", ValueKind::Date, "DATE'2000-06-30'", true},
      {"True", ValueKind::Boolean, "0", false},
      {"Not 5", ValueKind::Number, "5", false},
  };
  for (const RuleCase& c : cases) {
    std::string name = c.rule.find("Qty") != std::string::npos ? "Qty" : "Code";
    Context context = Context::ForColumnRule({name, "(" + c.value + ")", c.kind}, Dialect());
    Cell result = Evaluate(c.rule, context);
    // A CHECK constraint refuses a row only where its condition is false.
    bool passes = !result || *result != "0";
    EXPECT_EQ(passes, c.passes) << c.rule << " with " << c.value << " -> "
                                << Translate(c.rule, context).sql;
  }
}

TEST_F(Rules, TheServerHoldsRowsToTranslatedConstraints) {
  ScratchDatabase database(*TestServerFromEnvironment(), CurrentTestDatabaseName("x"));
  ServerQuery table(*TestServerFromEnvironment(), database.name());
  table.Execute(std::string("SET SESSION sql_mode = 'STRICT_ALL_TABLES'"));
  ColumnRef qty{"Qty", "`Qty`", ValueKind::Number};
  ColumnRef code{"Code", "`Code`", ValueKind::Text};
  ColumnRef start{"Start", "`Start`", ValueKind::Date};
  ColumnRef end{"End", "`End`", ValueKind::Date};
  auto check = [&](const std::string& rule, const Context& context) {
    expression::Translation translation = Translate(rule, context);
    EXPECT_TRUE(translation.ok()) << rule << ": " << translation.reason;
    EXPECT_TRUE(translation.deterministic);
    return "CHECK (" + translation.sql + ")";
  };
  table.Execute("CREATE TABLE t (Qty INT " +
                check("0 Or >100", Context::ForColumnRule(qty, Dialect())) + ", Code VARCHAR(10) " +
                check(R"(Is Null Or Like "[A-Z]##")", Context::ForColumnRule(code, Dialect())) +
                ", Start DATETIME, End DATETIME, " +
                check("[Start] <= [End] Or [End] Is Null",
                      Context::ForTableRule({qty, code, start, end}, Dialect())) +
                ") ENGINE=InnoDB");
  table.Execute("INSERT INTO t VALUES (0, 'B12', '2000-01-01', '2000-01-02')");
  table.Execute("INSERT INTO t VALUES (101, NULL, '2000-01-01', NULL)");
  for (const char* refused : {"(50, NULL, NULL, NULL)", "(0, 'B1x', NULL, NULL)",
                              "(0, NULL, '2000-01-02', '2000-01-01')"}) {
    EXPECT_THROW(table.Execute(std::string("INSERT INTO t VALUES ") + refused), std::runtime_error)
        << refused;
  }
  EXPECT_EQ(table.Value("SELECT COUNT(*) FROM t"), "2");
}

TEST_F(Rules, ARuleThatReadsTheClockOrAnOldServerIsNamedNotTranslated) {
  ColumnRef when{"When", "`When`", ValueKind::Date};
  EXPECT_NE(Translate("<=Date()", Context::ForColumnRule(when, Dialect())).reason.find("clock"),
            std::string::npos);
  ServerDialect old = ServerDialect::FromVersion("5.7.44-log");
  ColumnRef count{"Count", "`Count`", ValueKind::Number};
  EXPECT_NE(Translate(">=0", Context::ForColumnRule(count, old)).reason.find("CHECK"),
            std::string::npos);
}

TEST_F(Defaults, CommonDefaultsArriveInARealTable) {
  ScratchDatabase database(*TestServerFromEnvironment(), CurrentTestDatabaseName("x"));
  ServerQuery table(*TestServerFromEnvironment(), database.name());
  struct DefaultCase {
    std::string access;
    std::string type;
    ValueKind kind;
    std::string expected;  // what a new row holds; "today" and "now" for the clock
  };
  const std::vector<DefaultCase> cases = {
      {R"("abc")", "VARCHAR(20)", ValueKind::Text, "abc"},
      {R"("it's \ here")", "VARCHAR(20)", ValueKind::Text, "it's \\ here"},
      {"0", "INT", ValueKind::Number, "0"},
      {"=-1", "INT", ValueKind::Number, "-1"},
      {"1.5", "DOUBLE", ValueKind::Number, "1.5"},
      {"No", "BIT(1)", ValueKind::Boolean, "0"},
      {"Yes", "BIT(1)", ValueKind::Boolean, "1"},
      {"True", "INT", ValueKind::Number, "-1"},
      {"#1/1/2000#", "DATETIME", ValueKind::Date, "2000-01-01 00:00:00"},
      {"=Now()", "DATETIME", ValueKind::Date, "now"},
      {"Date()", "DATETIME", ValueKind::Date, "today"},
      {"=2+3", "INT", ValueKind::Number, "5"},
      {R"("a" & "b")", "TEXT", ValueKind::Text, "ab"},
      {R"(=Year(Date()) & "-")", "VARCHAR(20)", ValueKind::Text, "year-"},
  };
  std::string columns;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    expression::Translation translation =
        Translate(cases[i].access, Context::ForDefault(cases[i].kind, Dialect()));
    ASSERT_TRUE(translation.ok()) << cases[i].access << ": " << translation.reason;
    columns +=
        (i ? ", c" : "c") + std::to_string(i) + " " + cases[i].type + " DEFAULT " + translation.sql;
  }
  table.Execute("CREATE TABLE t (id INT, " + columns + ")");
  table.Execute("INSERT INTO t (id) VALUES (1)");
  std::string today = table.Value("SELECT CONCAT(CURRENT_DATE, ' 00:00:00')").value();
  std::string year = table.Value("SELECT YEAR(CURRENT_DATE)").value();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::string column = "c" + std::to_string(i);
    std::string expected = cases[i].expected;
    if (expected == "today") expected = today;
    if (expected == "year-") expected = year + "-";
    if (expected == "now") {
      EXPECT_EQ(table.Value("SELECT ABS(TIMESTAMPDIFF(SECOND, " + column + ", NOW())) < 60 FROM t"),
                "1");
      continue;
    }
    std::string read = cases[i].type == "BIT(1)" ? column + "+0" : column;
    EXPECT_EQ(table.Value("SELECT " + read + " FROM t"), expected) << cases[i].access;
  }
}

TEST_F(Defaults, FlagsTellWhatTheServerMustTake) {
  Context context = Context::ForDefault(ValueKind::Date, Dialect());
  expression::Translation literal = Translate(R"("abc")", context);
  EXPECT_TRUE(literal.literal && literal.constant && literal.deterministic);
  expression::Translation now = Translate("=Now()", context);
  EXPECT_EQ(now.sql, "CURRENT_TIMESTAMP");
  EXPECT_FALSE(now.literal || now.constant || now.deterministic);
  expression::Translation sum = Translate("=2+3", context);
  EXPECT_TRUE(!sum.literal && sum.constant && sum.deterministic);

  // Before expression defaults, plain values and Now() still arrive.
  Context old = Context::ForDefault(ValueKind::Date, ServerDialect::FromVersion("8.0.12"));
  EXPECT_EQ(Translate("#1/1/2000#", old).sql, "'2000-01-01 00:00:00'");
  EXPECT_EQ(Translate("Now()", old).sql, "CURRENT_TIMESTAMP");
  EXPECT_NE(Translate("Date()", old).reason.find("MySQL 8.0.13"), std::string::npos);
  EXPECT_TRUE(Translate("Date()",
                        Context::ForDefault(ValueKind::Date, ServerDialect::FromVersion("8.0.13")))
                  .ok());
}

TEST(ServerDialect, ReadsMariaDbAndMySqlVersions) {
  ServerDialect maria = ServerDialect::FromVersion("10.11.6-MariaDB-0+deb12u1");
  EXPECT_TRUE(maria.isMariaDb);
  EXPECT_EQ(maria.major * 10000 + maria.minor * 100 + maria.patch, 101106);
  EXPECT_TRUE(maria.EnforcesCheckConstraints() && maria.TakesExpressionDefaults());
  ServerDialect mariaOld = ServerDialect::FromVersion("10.1.48-MariaDB");
  EXPECT_FALSE(mariaOld.EnforcesCheckConstraints() || mariaOld.TakesExpressionDefaults());
  EXPECT_TRUE(mariaOld.HasCharacterRegexp());
  ServerDialect mysql = ServerDialect::FromVersion("8.0.15");
  EXPECT_FALSE(mysql.isMariaDb);
  EXPECT_TRUE(mysql.TakesExpressionDefaults() && !mysql.EnforcesCheckConstraints());
  EXPECT_FALSE(ServerDialect::FromVersion("5.7.44-log").HasCharacterRegexp());
}

}  // namespace
}  // namespace bracken::testing
