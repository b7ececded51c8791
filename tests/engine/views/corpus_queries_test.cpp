// The select and union queries of the corpus's queryTest files, translated
// after their tables are converted and run on the server.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/catalog_source.h"
#include "engine/source_connection.h"
#include "engine/views/query_translation.h"
#include "tests/engine/server_conversion.h"
#include "tests/engine/views/query_server.h"
#include "tests/support/server_query.h"

namespace bracken::engine {
namespace {

namespace fs = std::filesystem;
using expression::ColumnRef;

TEST(CorpusQueries, SelectAndUnionQueriesOfTheQueryTestFilesRunAsViews) {
  const fs::path corpus = fs::path(BRACKEN_SHARED_DIR) / "corpus";
  const std::vector<fs::path> files = {corpus / "jet3" / "queryTestV1997.mdb",
                                       corpus / "jet4" / "queryTestV2000.mdb",
                                       corpus / "ace" / "queryTestV2007.accdb"};
  if (!fs::exists(files[0])) GTEST_SKIP() << "no corpus beside the checkout";
  BRACKEN_REQUIRE_TEST_SERVER(server);
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::string database = "eng_views_" + file.stem().string();
    const std::string connectionText = BuildConnectionText(file.string(), "");
    source::Catalog catalog;
    catalog.SetActiveConnection(connectionText);
    CatalogSource source(catalog, connectionText);
    ConvertAll(server, source, ListTableNames(catalog), database);
    testing::ServerQuery query(server, database);
    QueryCatalog known = testing::CatalogOf(query, database);
    const auto dialect = expression::ServerDialect::FromVersion(*query.Value("SELECT VERSION()"));
    int views = 0;
    for (const source::Query& saved : catalog.Queries()) {
      if (saved.Kind() != source::QueryKind::Select && saved.Kind() != source::QueryKind::Union) {
        continue;
      }
      QueryTranslation translation = TranslateQuery(saved.definition, known, dialect);
      if (saved.name == "UnionQuery") {
        // Its parts name their tables without a FROM clause, which Access
        // does not run either.
        EXPECT_EQ(translation.reason, "a part of its union reads no table (it has no FROM clause)");
        continue;
      }
      ASSERT_TRUE(translation.ok()) << saved.name << ": " << translation.reason;
      ASSERT_EQ(translation.kind, QueryObjectKind::View) << saved.name;
      query.Execute("CREATE VIEW `" + saved.name + "` AS " + translation.body);
      EXPECT_TRUE(query.Rows("SELECT * FROM `" + saved.name + "`").empty());
      ++views;
      if (saved.name != "SelectQuery") continue;
      // Rows worked out by hand: the twice-held row of Table1 once, x left
      // out by the condition, in the order of Table2.col1.
      query.Execute(
          "INSERT INTO Table1 VALUES ('foo', 'a', 'b'), ('buzz', 'c', 'd'), ('x', 'e', 'f'), "
          "('foo', 'a', 'b')");
      query.Execute(
          "INSERT INTO Table3 VALUES ('foo', '', 't3a'), ('buzz', '', 't3b'), "
          "('x', '', 't3c')");
      query.Execute(
          "INSERT INTO Table2 VALUES ('foo', 'foo', 'z'), ('buzz', 'buzz', 'z'), "
          "('x', 'x', 'z'), ('foo', 'bar', 'z')");
      std::vector<testing::Row> rows = query.Rows("SELECT * FROM `SelectQuery`");
      std::vector<std::string> text;
      for (const testing::Row& row : rows) {
        std::string line;
        for (const testing::Cell& cell : row)
          line += (line.empty() ? "" : "|") + cell.value_or("NULL");
        text.push_back(line);
      }
      EXPECT_EQ(text, (std::vector<std::string>{"buzz|c|d|buzz|buzz|t3b", "foo|a|b|foo|foo|t3a"}));
      std::vector<std::string> names;
      for (const ColumnRef& column : translation.columns) names.push_back(column.accessName);
      EXPECT_EQ(names, (std::vector<std::string>{"Table1.col1", "Table1.col2", "Table1.col3",
                                                 "Table2.col1", "Table2.col2", "Table3.col3"}));
    }
    EXPECT_EQ(views, 1);
    query.Execute("DROP DATABASE `" + database + "`");
  }
}

}  // namespace
}  // namespace bracken::engine
