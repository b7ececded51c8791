#include "tests/expression/expression_server.h"

#include <cmath>
#include <cstdlib>

#include "target/session_settings.h"

namespace bracken::testing {

void ExpressionServerTest::SetUp() {
  auto server = TestServerFromEnvironment();
  if (!server) GTEST_SKIP() << kNoServerMessage;
  query_ = std::make_unique<ServerQuery>(*server);
  query_->Execute(std::string("SET SESSION sql_mode = '") + target::kSessionSqlMode + "'");
  // Texts compare as the conversion's columns do: without regard to case.
  query_->Execute("SET NAMES utf8mb4 COLLATE utf8mb4_unicode_ci");
  dialect_ = expression::ServerDialect::FromVersion(query_->Value("SELECT VERSION()").value());
}

Cell ExpressionServerTest::Evaluate(const std::string& access, const expression::Context& context) {
  expression::Translation translation = expression::Translate(access, context);
  EXPECT_TRUE(translation.ok()) << access << ": not translatable, because " << translation.reason;
  if (!translation.ok()) return std::nullopt;
  try {
    return query_->Value("SELECT " + translation.sql);
  } catch (const std::exception& error) {
    ADD_FAILURE() << access << " -> " << translation.sql << ": " << error.what();
    return std::nullopt;
  }
}

void ExpressionServerTest::CheckAll(const std::vector<ExpressionCase>& cases) {
  expression::Context context;
  context.server = dialect_;
  CheckAll(cases, context);
}

void ExpressionServerTest::CheckAll(const std::vector<ExpressionCase>& cases,
                                    const expression::Context& context) {
  for (const ExpressionCase& c : cases) {
    Cell actual = Evaluate(c.access, context);
    EXPECT_TRUE(SameAsAccess(c.expected, actual))
        << c.access << " -> " << expression::Translate(c.access, context).sql
        << "\n  Access: " << c.expected.value_or("Null")
        << "\n  server: " << actual.value_or("NULL");
  }
}

bool SameAsAccess(const Cell& expected, const Cell& actual) {
  if (!expected || !actual) return !expected && !actual;
  const std::string& want = *expected;
  std::string got = *actual;
  if (want == "True" || want == "False") {
    return (want == "True" && (got == "1" || got == "-1")) || (want == "False" && got == "0");
  }
  // A DATE value is a DATETIME at midnight.
  if (want.size() == 19 && got.size() == 10 && got[4] == '-' && got[7] == '-') got += " 00:00:00";
  if (got == want) return true;
  char* wantEnd = nullptr;
  char* gotEnd = nullptr;
  double wantNumber = std::strtod(want.c_str(), &wantEnd);
  double gotNumber = std::strtod(got.c_str(), &gotEnd);
  if (want.empty() || got.empty() || *wantEnd != '\0' || *gotEnd != '\0') return false;
  return std::fabs(wantNumber - gotNumber) <= 1e-12 * std::max(1.0, std::fabs(wantNumber));
}

}  // namespace bracken::testing
