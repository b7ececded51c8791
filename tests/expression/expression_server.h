#pragma once

// Translated expressions evaluated by the test server, so that each case is
// checked against the server's answer rather than against a text.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "expression/translate.h"
#include "tests/support/server_query.h"

namespace bracken::testing {

// One expression and the value Access gives for it: numbers as digits
// (compared as numbers), "True"/"False", dates as "yyyy-mm-dd hh:nn:ss",
// texts as they are, nullopt for Null.
struct ExpressionCase {
  std::string access;
  Cell expected;
};

class ExpressionServerTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // The dialect of the test server.
  expression::ServerDialect Dialect() const { return dialect_; }
  // SELECT of the translation; fails the test where it is not translatable.
  Cell Evaluate(const std::string& access, const expression::Context& context);
  // Each case as a query expression (or in `context`), compared with its value.
  void CheckAll(const std::vector<ExpressionCase>& cases);
  void CheckAll(const std::vector<ExpressionCase>& cases, const expression::Context& context);

  std::unique_ptr<ServerQuery> query_;
  expression::ServerDialect dialect_;
};

// Whether the server's `actual` is the Access value `expected` (see above).
bool SameAsAccess(const Cell& expected, const Cell& actual);

}  // namespace bracken::testing
