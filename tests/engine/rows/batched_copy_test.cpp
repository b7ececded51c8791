// Rows sent many to an INSERT must leave the same tables, report lines and
// messages as one INSERT per row, refused rows included: the same file is
// converted both ways into the test server and the two results compared.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/output/statement_executor.h"
#include "engine/source_connection.h"
#include "target/mysql_connection.h"
#include "tests/engine/rows/orders_with_refusals.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/recording_owner.h"
#include "tests/support/server_query.h"

namespace bracken::engine {
namespace {

using testing::ColumnKind;
using testing::FixtureDatabase;
using testing::FixtureTable;
using testing::FixtureValue;

// The program's executor, keeping the longest INSERT and their number.
class CountingExecutor : public MySqlStatementExecutor {
 public:
  using MySqlStatementExecutor::MySqlStatementExecutor;
  bool Execute(const std::string& statement) override {
    if (statement.rfind("INSERT", 0) == 0) {
      ++inserts;
      longest = std::max(longest, statement.size());
      if (breakOffInsert == inserts) {
        // As the lock wait watch does when a stop is asked during a wait.
        context->stoppedDuringWait = true;
        return false;
      }
    }
    if (statement.rfind("ALTER TABLE", 0) == 0) alterations.push_back(statement);
    return MySqlStatementExecutor::Execute(statement);
  }
  long inserts = 0;
  std::size_t longest = 0;
  std::vector<std::string> alterations;
  long breakOffInsert = 0;  // the INSERT (from 1) broken off by a stop; 0 for none
  ConversionContext* context = nullptr;
};

struct Outcome {
  ConversionSummary summary;
  std::vector<std::string> messages, reportLines;
  std::string caption;  // the last row caption
  long inserts = 0;
  std::size_t longest = 0;
  std::vector<std::vector<testing::Row>> tables;  // every table's rows, in order
  std::vector<std::string> alterations;           // ALTER TABLE statements sent
  // Every table's indexes: name, position, column, prefix, uniqueness, and
  // "disabled" for a MyISAM key left off.
  std::vector<testing::Row> indexes;
};

class BatchedCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto server = testing::TestServerFromEnvironment();
    if (!server) GTEST_SKIP() << testing::kNoServerMessage;
    server_ = *server;
  }
  void TearDown() override {
    if (!server_) return;
    for (const std::string& name : databases_) {
      testing::ServerQuery(*server_).Execute("DROP DATABASE IF EXISTS `" + name + "`");
    }
  }

  Outcome Convert(const FixtureDatabase& file, const std::string& database, RowBatching batching,
                  TableEngine engine = TableEngine::MyISAM, long breakOffInsert = 0) {
    databases_.push_back(database);
    source::Catalog catalog;
    catalog.OpenBuffer(testing::WriteJet4(file));
    CatalogSource source(catalog, "");
    target::MySqlConnection connection;
    EXPECT_EQ(connection.Connect(server_->host, server_->user, server_->password),
              target::MySqlConnection::ConnectResult::Connected);
    CountingExecutor executor(connection);
    ConversionContext context(executor, source);
    context.batching = batching;
    context.engine = engine;
    executor.context = &context;
    executor.breakOffInsert = breakOffInsert;
    testing::RecordingOwner owner;
    std::vector<std::string> names = ListTableNames(catalog);
    owner.SetTables(names, std::vector<bool>(names.size(), true));
    owner.SetDestinationName(database);
    Outcome outcome;
    owner.onCaption = [&](const std::string& caption) {
      if (caption.rfind("Converting", 0) == 0) outcome.caption = caption;
    };
    outcome.summary = RunConversion(owner, context);
    outcome.messages = owner.messages;
    outcome.reportLines = owner.reportLines;
    outcome.inserts = executor.inserts;
    outcome.longest = executor.longest;
    outcome.alterations = executor.alterations;
    testing::ServerQuery query(*server_, database);
    for (const FixtureTable& table : file.tables) {
      outcome.tables.push_back(query.Rows("SELECT * FROM `" + table.name + "`"));
    }
    outcome.indexes = query.Rows(
        "SELECT TABLE_NAME, INDEX_NAME, SEQ_IN_INDEX, COLUMN_NAME, SUB_PART, NON_UNIQUE, COMMENT "
        "FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = '" +
        database + "' ORDER BY TABLE_NAME, INDEX_NAME, SEQ_IN_INDEX");
    return outcome;
  }

  // Both ways, compared; returns the batched outcome.
  Outcome ExpectSameBothWays(const FixtureDatabase& file, const std::string& name,
                             RowBatching batching, TableEngine engine = TableEngine::MyISAM) {
    Outcome single = Convert(file, name + "_one", RowBatching{}, engine);
    Outcome batched = Convert(file, name + "_many", batching, engine);
    EXPECT_EQ(batched.indexes, single.indexes);
    EXPECT_TRUE(single.alterations.empty()) << "the row-by-row run sends what it always sent";
    EXPECT_EQ(batched.reportLines, single.reportLines);
    EXPECT_EQ(batched.messages, single.messages);
    EXPECT_EQ(batched.caption, single.caption);
    EXPECT_EQ(batched.summary.rowsSent, single.summary.rowsSent);
    EXPECT_EQ(batched.summary.rowsRefused, single.summary.rowsRefused);
    EXPECT_EQ(batched.summary.valuesChanged, single.summary.valuesChanged);
    EXPECT_EQ(batched.summary.tablesConverted, single.summary.tablesConverted);
    EXPECT_EQ(batched.tables, single.tables) << "the tables differ";
    return batched;
  }

  std::optional<testing::TestServer> server_;
  std::vector<std::string> databases_;
};

TEST_F(BatchedCopyTest, RefusedRowsAndValueChangesAreTheSameAsOneRowPerInsert) {
  FixtureTable plain;
  plain.name = "Plain";
  plain.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Note", ColumnKind::Memo)};
  plain.generatedRows = 250;
  plain.generator = [](int64_t i, std::vector<FixtureValue>& row) {
    row[0] = i;
    row[1] = i % 3 ? FixtureValue("note " + std::to_string(i)) : FixtureValue();
  };
  FixtureDatabase file;
  file.tables = {rows_testing::OrdersWithRefusals(), plain};
  Outcome batched = ExpectSameBothWays(file, "eng_batch_refused", RowBatching{100});
  EXPECT_EQ(batched.summary.rowsSent, 1248) << "two rows cannot be read";
  EXPECT_GE(batched.summary.rowsRefused, 9);
  EXPECT_LT(batched.inserts, 60) << "rows went in batches";
}

TEST_F(BatchedCopyTest, TheByteBudgetBoundsEveryStatementAndLargeRowsGoAlone) {
  FixtureTable notes;
  notes.name = "Notes";
  notes.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Body", ColumnKind::Memo)};
  notes.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  notes.inlineLongValueLimit = 0;
  notes.generatedRows = 300;
  notes.generator = [](int64_t i, std::vector<FixtureValue>& row) {
    row[0] = i % 97 == 5 ? int64_t{5} : i;  // a few duplicates too
    // Mostly short, some close to and past the budget.
    const std::size_t size = i % 25 == 0 ? 9000 : i % 10 == 0 ? 3990 : 40 + (i % 7) * 300;
    row[1] = std::string(size, static_cast<char>('a' + i % 26));
  };
  FixtureDatabase file;
  file.tables = {notes};
  Outcome batched = ExpectSameBothWays(file, "eng_batch_budget", RowBatching{50, 4096});
  EXPECT_GT(batched.longest, 4096u) << "a row past the budget went alone";
  EXPECT_LT(batched.longest, 9100u);
  EXPECT_LT(batched.inserts, 200);
  EXPECT_EQ(batched.summary.rowsRefused, 3);
}

// Plain, unique and several-column indexes with duplicates of the unique
// keys among the rows.
FixtureTable Indexed() {
  FixtureTable table;
  table.name = "Indexed";
  table.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Code", ColumnKind::Text, 20),
                   MakeColumn("Region", ColumnKind::Long), MakeColumn("City", ColumnKind::Text, 30),
                   MakeColumn("Note", ColumnKind::Memo)};
  table.indexes = {{"PrimaryKey", {"ID"}, true, true, false},
                   {"Code", {"Code"}, false, true, false},
                   {"Region", {"Region"}, false, false, false},
                   {"RegionCity", {"Region", "City"}, false, false, false},
                   {"City", {"City"}, false, false, false},
                   // Named City_2 after the plain index before it.
                   {"CityId", {"City", "ID"}, false, true, false}};
  table.generatedRows = 600;
  table.generator = [](int64_t i, std::vector<FixtureValue>& row) {
    row[0] = i == 250 ? int64_t{3} : i;                            // a duplicate key
    row[1] = "C" + std::to_string(i == 400 || i == 599 ? 17 : i);  // duplicate codes
    row[2] = i % 7;
    row[3] = "City " + std::to_string(i % 13);
    row[4] = "note " + std::to_string(i);
  };
  return table;
}

TEST_F(BatchedCopyTest, KeysBuiltAfterTheRowsLeaveTheSameIndexesAndRefusals) {
  FixtureDatabase file;
  file.tables = {Indexed()};
  for (TableEngine engine : {TableEngine::MyISAM, TableEngine::InnoDB}) {
    const bool myIsam = engine == TableEngine::MyISAM;
    Outcome batched = ExpectSameBothWays(file, myIsam ? "eng_keys_myisam" : "eng_keys_innodb",
                                         RowBatching{100}, engine);
    EXPECT_EQ(batched.summary.rowsRefused, 3) << "duplicates still refused at their rows";
    EXPECT_EQ(batched.indexes.size(), 8u);
    for (const testing::Row& index : batched.indexes) EXPECT_NE(index.back(), "disabled");
    if (myIsam) {
      EXPECT_EQ(batched.alterations,
                (std::vector<std::string>{"ALTER TABLE `Indexed` DISABLE KEYS;",
                                          "ALTER TABLE `Indexed` ENABLE KEYS;"}));
    } else {
      EXPECT_EQ(batched.alterations,
                (std::vector<std::string>{"ALTER TABLE `Indexed` ADD INDEX `Region` (`Region`), "
                                          "ADD INDEX `Region_2` (`Region`,`City`), ADD INDEX "
                                          "`City` (`City`);"}));
    }
  }
}

TEST_F(BatchedCopyTest, KeysAreEnabledAgainWhenTheCopyStopsMidTable) {
  FixtureDatabase file;
  file.tables = {Indexed()};
  Outcome stopped = Convert(file, "eng_keys_stopped", RowBatching{100}, TableEngine::MyISAM,
                            /*breakOffInsert=*/3);
  EXPECT_EQ(stopped.summary.ending, RunEnding::Stopped);
  ASSERT_EQ(stopped.tables.size(), 1u);
  EXPECT_LT(stopped.tables[0].size(), 600u);
  ASSERT_EQ(stopped.alterations.size(), 2u);
  EXPECT_EQ(stopped.alterations[1], "ALTER TABLE `Indexed` ENABLE KEYS;");
  for (const testing::Row& index : stopped.indexes) EXPECT_NE(index.back(), "disabled");
}

}  // namespace
}  // namespace bracken::engine
