#pragma once

// Saved queries translated and run on the test server, against small tables
// whose rows the tests know: Customers, Orders and Lines. Each test reads
// the rows a translated query gives and compares them with rows worked out
// by hand.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/views/query_translation.h"
#include "source/saved_query.h"
#include "tests/support/scratch_database.h"
#include "tests/support/server_query.h"
#include "tests/support/test_server.h"

namespace bracken::testing {

// A row as text: cells joined by "|", NULL for a null.
using TextRows = std::vector<std::string>;

class QueryServerTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // The catalog of the three tables (and the views made so far).
  const engine::QueryCatalog& catalog() const { return catalog_; }
  // The translation of `query`, on this server.
  engine::QueryTranslation Translate(const source::QueryDefinition& query) const;
  // Creates `query` as the view (or procedure) `name`, adding a view to the
  // catalog; fails the test when it is refused.
  engine::QueryTranslation Create(const std::string& name, const source::QueryDefinition& query);
  // The rows of the view `name`, or of CALL name(arguments).
  TextRows ViewRows(const std::string& name);
  TextRows CallRows(const std::string& name, const std::string& arguments);
  // Creates `query` as a view and reads its rows.
  TextRows Rows(const source::QueryDefinition& query);
  // Rows read as text.
  static TextRows Text(const std::vector<Row>& rows);
  // The rows sorted, for comparing as a multiset.
  static TextRows Sorted(TextRows rows);

  TestServer server_;
  std::unique_ptr<ScratchDatabase> database_;
  std::unique_ptr<ServerQuery> query_;
  engine::QueryCatalog catalog_;
  expression::ServerDialect dialect_;
  int created_ = 0;
};

// The tables of `database` as a query may read them: Access names as the
// server's, kinds from the server's types.
engine::QueryCatalog CatalogOf(ServerQuery& query, const std::string& database);

// The parts of a query, for short.
source::QueryColumn C(std::string expression, std::string alias = "");
source::QuerySource T(std::string name, std::string alias = "");
source::QueryOrder Asc(std::string expression);
source::QueryOrder Desc(std::string expression);

// A select query of `columns` over `sources`.
source::QueryDefinition Select(std::vector<source::QueryColumn> columns,
                               std::vector<source::QuerySource> sources);

}  // namespace bracken::testing
