#pragma once

// A scratch database of the test server in which crosstab and action query
// translations are made into views and procedures and run: the tables a
// test creates are read back as the catalog the translation resolves
// names in, and a call's result comes with its column names.

#include <string>
#include <vector>

#include "engine/views/query_translation.h"
#include "tests/support/scratch_database.h"
#include "tests/support/server_query.h"

namespace bracken::engine::views_testing {

using testing::Cell;
using testing::Row;

struct Result {
  std::vector<std::string> names;
  std::vector<Row> rows;
};

class ProcedureServer {
 public:
  ProcedureServer(const testing::TestServer& server, const std::string& database);

  const std::string& database() const { return scratch_.name(); }
  void Execute(const std::string& statement);
  // Statements of one connection each, so that a call's results never
  // linger on the next.
  std::vector<Row> Rows(const std::string& query);
  // The statements on one connection; the last one's result. A statement
  // the server refuses throws, unless it is `allowedToFail`.
  Result Run(const std::string& statement);
  Result Run(const std::vector<std::string>& statements, const std::string& allowedToFail = "");

  // The database's tables and views as a catalog: Access names equal to
  // the server's names, column kinds after their types.
  QueryCatalog Catalog();
  // Makes `translation` as the view or procedure `name`; throws with the
  // server's message when it refuses.
  void Create(const std::string& name, const QueryTranslation& translation);

 private:
  testing::TestServer server_;
  testing::ScratchDatabase scratch_;
};

// Rows in a stable order, to compare as multisets.
std::vector<Row> Sorted(std::vector<Row> rows);

}  // namespace bracken::engine::views_testing
