// What only a query's expressions hold: subqueries handed whole to the
// caller's callback, aggregates, Count(*), and references to open forms.
// Their meaning on the server is tested in tests/engine/views/.

#include <gtest/gtest.h>

#include "expression/translate.h"

namespace bracken::expression {
namespace {

Context WithSubqueries(std::vector<std::string>& seen) {
  Context context;
  context.resolve = [](const std::vector<std::string>& parts) -> std::optional<ColumnRef> {
    if (parts.back() == "Total") return ColumnRef{"Total", "`Total`", ValueKind::Number, false};
    if (parts.back() == "Paid") return ColumnRef{"Paid", "`Paid`", ValueKind::Boolean, false};
    return std::nullopt;
  };
  context.subquery = [&seen](std::string_view select) {
    seen.emplace_back(select);
    if (select.find("Broken") != std::string_view::npos) throw Refused("it reads Broken");
    return Context::Subquery{"SELECT 1", ValueKind::Number};
  };
  return context;
}

TEST(QueryExpressionParts, SubqueriesReachTheCallbackAsWrittenAndStandWhereAValueDoes) {
  std::vector<std::string> seen;
  Context context = WithSubqueries(seen);
  EXPECT_EQ(Translate("[Total] In (SELECT Amount FROM [T (old)] WHERE Note = \")\")", context).sql,
            "(`Total` IN (SELECT 1))");
  EXPECT_EQ(Translate("Not Exists ( select * FROM T )", context).sql, "(NOT (EXISTS (SELECT 1)))");
  EXPECT_EQ(Translate("(SELECT Max(x) FROM T) * 2", context).sql, "((SELECT 1) * 2)");
  EXPECT_EQ(seen, (std::vector<std::string>{"SELECT Amount FROM [T (old)] WHERE Note = \")\"",
                                            " select * FROM T ", "SELECT Max(x) FROM T"}));
  // The callback's refusal is the expression's.
  EXPECT_EQ(Translate("[Total] Not In (SELECT x FROM Broken)", context).reason, "it reads Broken");
  // No callback, or not a query: refused, not guessed.
  EXPECT_FALSE(Translate("Exists (SELECT 1 FROM T)", Context{}).ok());
  EXPECT_FALSE(Translate("(SELECT 1 FROM T)", Context::ForTableRule({}, ServerDialect{})).ok());
  EXPECT_FALSE(Translate("[Total] In (SELECT 1 FROM T", context).ok());
}

TEST(QueryExpressionParts, AggregatesOnlyInQueries) {
  std::vector<std::string> seen;
  Context context = WithSubqueries(seen);
  EXPECT_EQ(Translate("Count(*)", context).sql, "COUNT(*)");
  EXPECT_TRUE(Translate("Sum([Total]) / Count([Total])", context).ok());
  EXPECT_NE(Translate("Last([Total])", context).reason.find("first or last"), std::string::npos);
  EXPECT_FALSE(Translate("Sum(*)", context).ok());
  EXPECT_FALSE(Translate("[Total] * (*)", context).ok());
  EXPECT_FALSE(Translate("Sum(\"a\")", context).ok());
  // A rule of a table cannot hold an aggregate.
  Context rule = Context::ForTableRule({{"Total", "`Total`", ValueKind::Number, false}}, {});
  EXPECT_FALSE(Translate("Sum([Total]) > 0", rule).ok());
  EXPECT_FALSE(Translate("Count(*) > 0", rule).ok());
}

TEST(QueryExpressionParts, OpenFormReferencesGoToTheirOwnCallback) {
  Context context;
  context.openObject = [](const std::vector<std::string>& parts) -> std::optional<ColumnRef> {
    if (parts.size() == 3 && parts[2] == "Customer") {
      return ColumnRef{"Forms!Main!Customer", "p_Forms_Main_Customer", ValueKind::Number, true};
    }
    return std::nullopt;
  };
  EXPECT_EQ(Translate("[Forms]![Main]![Customer] + 1", context).sql, "(p_Forms_Main_Customer + 1)");
  EXPECT_NE(Translate("[Forms]![Main]![Other]", context).reason.find("open form"),
            std::string::npos);
}

}  // namespace
}  // namespace bracken::expression
