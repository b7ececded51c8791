// Rows sent by LOAD DATA LOCAL INFILE must leave the same tables, report
// lines, messages and counts as batched INSERTs and as one INSERT per row:
// the same file is converted the three ways, on MyISAM and on InnoDB, and
// the results compared. A table goes by one LOAD; one with a refused row is
// emptied and copied again by the batched INSERTs.

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
#include "tests/support/scoped_server_globals.h"
#include "tests/support/server_query.h"

namespace bracken::engine {
namespace {

using testing::ColumnKind;
using testing::FixtureDatabase;
using testing::FixtureTable;
using testing::FixtureValue;

// The program's executor, counting the LOADs the server took. Once the run
// ends at once it sends nothing, as the program's lock wait watch holds
// every statement then (the process ends within moments).
class CountingExecutor : public MySqlStatementExecutor {
 public:
  using MySqlStatementExecutor::MySqlStatementExecutor;
  target::LocalLoadResult LoadFromStream(const std::string& statement,
                                         target::LocalLoadStream& stream,
                                         target::LocalLoadCounts& counts) override {
    const auto result = MySqlStatementExecutor::LoadFromStream(statement, stream, counts);
    if (result == target::LocalLoadResult::Loaded) {
      ++loads;
      if (counts.warnings > 0) ++unclean;
    }
    if (result == target::LocalLoadResult::Failed) failures.push_back(ErrorText());
    return result;
  }
  bool Execute(const std::string& statement) override {
    if (context != nullptr && context->endingAtOnce) return false;
    return MySqlStatementExecutor::Execute(statement);
  }
  long loads = 0;
  long unclean = 0;  // loads with warnings, undone
  std::vector<std::string> failures;
  const ConversionContext* context = nullptr;
};

// The file's rows, reading of which breaks off when it moves past row
// `breakAfter` of a table (counted from 1), as a damaged file's may.
class BreakingSource : public CatalogSource {
 public:
  BreakingSource(source::Catalog catalog, long breakAfter)
      : CatalogSource(std::move(catalog), ""), breakAfter_(breakAfter) {}
  std::unique_ptr<RowSource> OpenRows(const std::string& table) override {
    return std::make_unique<Rows>(CatalogSource::OpenRows(table), breakAfter_);
  }

 private:
  class Rows : public RowSource {
   public:
    Rows(std::unique_ptr<RowSource> rows, long breakAfter)
        : rows_(std::move(rows)), breakAfter_(breakAfter) {}
    long FieldCount() override { return rows_->FieldCount(); }
    ColumnDescription Field(long index) override { return rows_->Field(index); }
    bool Eof() override { return rows_->Eof(); }
    void MoveNext() override {
      if (++at_ == breakAfter_) {
        throw source::SourceError(source::kErrorCode, source::kErrorSource,
                                  "The page of the next row cannot be read.");
      }
      rows_->MoveNext();
    }
    long ActualSize(long index) override { return rows_->ActualSize(index); }
    source::Variant Value(long index) override { return rows_->Value(index); }

   private:
    std::unique_ptr<RowSource> rows_;
    long breakAfter_;
    long at_ = 0;
  };
  long breakAfter_;
};

// How a test run differs from a plain one.
struct Twist {
  long breakAfter = -1;     // reading breaks off after this row of each table
  long endAtOnceAt = -1;    // the program ends at once when the caption shows this row
  bool addRowKeys = false;  // tables without a primary key get a key column
};

struct Outcome {
  ConversionSummary summary;
  std::vector<std::string> messages, reportLines, notices;
  std::string caption;
  long loads = 0, unclean = 0;
  std::vector<std::string> failedLoads;
  long sentWhenEnded = -1;  // rows counted as sent when the program ended at once
  std::vector<std::vector<testing::Row>> tables;
  // Each table's next AUTO_INCREMENT value, as the server tells it.
  std::vector<std::string> nextIds;
};

class LoadDataTest : public ::testing::TestWithParam<TableEngine> {
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
                  Twist twist = {}) {
    databases_.push_back(database);
    source::Catalog catalog;
    catalog.OpenBuffer(testing::WriteJet4(file));
    BreakingSource source(catalog, twist.breakAfter);
    target::MySqlConnection connection;
    target::ConnectOptions options;
    options.port = static_cast<unsigned int>(server_->port);
    EXPECT_EQ(connection.Connect(server_->host, server_->user, server_->password, options),
              target::MySqlConnection::ConnectResult::Connected);
    CountingExecutor executor(connection);
    ConversionContext context(executor, source);
    executor.context = &context;
    context.batching = batching;
    context.engine = GetParam();
    context.addRowKeys = twist.addRowKeys;
    testing::RecordingOwner owner;
    std::vector<std::string> names = ListTableNames(catalog);
    owner.SetTables(names, std::vector<bool>(names.size(), true));
    owner.SetDestinationName(database);
    Outcome outcome;
    const std::string endAt = " " + std::to_string(twist.endAtOnceAt) + " rows converted...";
    owner.onCaption = [&](const std::string& caption) {
      if (caption.rfind("Converting", 0) == 0) outcome.caption = caption;
      if (twist.endAtOnceAt > 0 && !context.endingAtOnce && caption.size() > endAt.size() &&
          caption.compare(caption.size() - endAt.size(), endAt.size(), endAt) == 0) {
        // As the program's second Ctrl-C: the flag, then the summary.
        context.endingAtOnce = true;
        outcome.sentWhenEnded = context.summary.rowsSent;
      }
    };
    outcome.summary = RunConversion(owner, context);
    outcome.messages = owner.messages;
    outcome.reportLines = owner.reportLines;
    outcome.notices = owner.notices;
    outcome.loads = executor.loads;
    outcome.unclean = executor.unclean;
    outcome.failedLoads = executor.failures;
    testing::ServerQuery query(*server_, database);
    for (const FixtureTable& table : file.tables) {
      outcome.tables.push_back(query.Rows("SELECT * FROM `" + table.name + "`"));
      outcome.nextIds.push_back(query
                                    .Value("SELECT COALESCE(AUTO_INCREMENT, '') FROM "
                                           "information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                                           database + "' AND TABLE_NAME = '" + table.name + "'")
                                    .value_or("?"));
    }
    return outcome;
  }

  static void ExpectSame(const Outcome& got, const Outcome& expected, const char* way) {
    SCOPED_TRACE(way);
    EXPECT_EQ(got.reportLines, expected.reportLines);
    EXPECT_EQ(got.messages, expected.messages);
    EXPECT_EQ(got.caption, expected.caption);
    EXPECT_EQ(got.summary.rowsSent, expected.summary.rowsSent);
    EXPECT_EQ(got.summary.rowsRefused, expected.summary.rowsRefused);
    EXPECT_EQ(got.summary.valuesChanged, expected.summary.valuesChanged);
    EXPECT_EQ(got.summary.tablesConverted, expected.summary.tablesConverted);
    EXPECT_EQ(got.tables, expected.tables) << "the tables differ";
    EXPECT_EQ(got.nextIds, expected.nextIds) << "the next AutoNumbers differ";
  }

  // The three ways, compared, the LOAD also in the small chunks of a
  // cluster's bounded write sets; returns the (whole) LOAD outcome.
  Outcome ExpectSameThreeWays(const FixtureDatabase& file, const std::string& name,
                              Twist twist = {}) {
    const std::string prefix = name + (GetParam() == TableEngine::InnoDB ? "_i" : "_m");
    Outcome single = Convert(file, prefix + "_one", RowBatching{}, twist);
    Outcome batched = Convert(file, prefix + "_many", RowBatching{10}, twist);
    Outcome loaded =
        Convert(file, prefix + "_load", RowBatching{2, std::size_t{1} << 20, true}, twist);
    RowBatching bounded{10, std::size_t{1} << 20, true};
    bounded.writeSetRows = 7;
    bounded.writeSetBytes = std::size_t{1} << 16;
    Outcome chunked = Convert(file, prefix + "_chunks", bounded, twist);
    ExpectSame(batched, single, "batched");
    ExpectSame(loaded, single, "loaded");
    ExpectSame(chunked, single, "loaded in chunks");
    EXPECT_TRUE(loaded.notices.empty());
    EXPECT_GT(chunked.loads, loaded.loads) << "the bounded LOAD went in chunks";
    return loaded;
  }

  std::optional<testing::TestServer> server_;
  std::vector<std::string> databases_;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Every kind of value, Null in every column, and the bytes the LOAD text
// escapes in text and in binary values.
FixtureTable Values() {
  FixtureTable table;
  table.name = "Values";
  testing::FixtureColumn amount = MakeColumn("Amount", ColumnKind::Decimal);
  amount.precision = 12;
  amount.scale = 4;
  table.columns = {
      MakeColumn("ID", ColumnKind::Long),          MakeColumn("Flag", ColumnKind::Boolean),
      MakeColumn("Small", ColumnKind::Byte),       MakeColumn("Short", ColumnKind::Integer),
      MakeColumn("Money", ColumnKind::Currency),   MakeColumn("Single", ColumnKind::Single),
      MakeColumn("Double", ColumnKind::Double),    MakeColumn("When", ColumnKind::DateTime),
      MakeColumn("Bytes", ColumnKind::Binary, 20), MakeColumn("Name", ColumnKind::Text, 60),
      MakeColumn("Picture", ColumnKind::Ole),      MakeColumn("Notes", ColumnKind::Memo),
      MakeColumn("Key", ColumnKind::Guid),         amount};
  table.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  table.generatedRows = 260;
  table.generator = [](int64_t i, std::vector<FixtureValue>& row) {
    row[0] = i;
    if (i % 7 == 3) return;  // Null in every column but the key
    static const char* const kTexts[] = {
        "tab\there", "line\nbreak",        "back\\slash",
        "\\N",       "nul\0inside",        "emoji \xF0\x9F\x98\x80",
        "",          "carriage\r\nreturn", "plain",
        "quote ' \""};
    // Emoji only in the first chunk: a column that cannot hold them refuses
    // their rows, and the chunks after it must load clean.
    std::string text = i % 10 == 4 ? std::string("nul\0inside", 10) : kTexts[i % 10];
    if (i % 10 == 5 && i >= 100) text = "smile";
    row[1] = i % 2 == 0;
    row[2] = i % 256;
    row[3] = int64_t{-300} + i;
    row[4] = int64_t{123456789} * i;
    row[5] = i % 11 == 0 ? kNaN : i * 0.25;
    row[6] = i % 13 == 0 ? -std::numeric_limits<double>::infinity() : i / 3.0;
    row[7] = 36526.5 + static_cast<double>(i);
    row[8] = i % 5 == 0 ? std::string() : std::string("\t\n\\\0\x01\xff", 6);
    row[9] = text;
    row[10] = i % 6 == 0 ? std::string() : std::string("\0\\\t\n", 4) + std::string(i % 40, 'x');
    row[11] = text + " and more";
    row[12] = std::string("0123456789abcdef", 16);
    row[13] = std::to_string(i) + ".1250";
  };
  return table;
}

TEST_P(LoadDataTest, RefusedRowsValuesAndChangesAreTheSameAsBatchedAndOneRowPerInsert) {
  FixtureDatabase file;
  // An AutoNumber key whose highest value is in a refused row: the undone
  // LOAD had stored that row, and the table's next AutoNumber must still be
  // the one a batched run leaves.
  FixtureTable orders = rows_testing::OrdersWithRefusals();
  orders.columns[0].autoNumber = true;
  orders.generator = [fill = orders.generator](int64_t i, std::vector<FixtureValue>& row) {
    fill(i, row);
    if (i == 999) {
      row[0] = int64_t{5000};
      row[4] = std::string("123456.5");
    }
  };
  file.tables = {orders, Values()};
  Outcome loaded = ExpectSameThreeWays(file, "eng_load");
  EXPECT_GE(loaded.summary.rowsRefused, 9);
  EXPECT_EQ(loaded.loads, 2) << "one LOAD per table";
  EXPECT_EQ(loaded.unclean, 1) << "the table with refused rows was undone";
}

// A table without a primary key given its key column: the LOAD undone for
// the refused rows leaves it numbered as one INSERT per row numbers it, its
// next value included. (Batched INSERTs into InnoDB leave gaps where a batch
// was refused: the server spends the numbers of a refused statement.)
TEST_P(LoadDataTest, AnAddedKeyColumnIsNumberedAsTheInsertsNumberIt) {
  FixtureTable orders = rows_testing::OrdersWithRefusals();
  orders.indexes.clear();
  FixtureDatabase file;
  file.tables = {orders};
  Twist twist;
  twist.addRowKeys = true;
  const std::string prefix =
      std::string("eng_load_keys") + (GetParam() == TableEngine::InnoDB ? "_i" : "_m");
  const Outcome single = Convert(file, prefix + "_one", RowBatching{}, twist);
  const Outcome loaded =
      Convert(file, prefix + "_load", RowBatching{2, std::size_t{1} << 20, true}, twist);
  ExpectSame(loaded, single, "loaded");
  EXPECT_EQ(loaded.unclean, 1) << "the table with refused rows was undone";
  EXPECT_EQ(loaded.summary.rowKeysAdded, 1);
  const std::string rows = std::to_string(loaded.tables[0].size());
  EXPECT_EQ(testing::ServerQuery(*server_, prefix + "_load")
                .Value("SELECT CONCAT(MIN(bracken_row_id), '-', MAX(bracken_row_id), '-', "
                       "COUNT(*)) FROM `" +
                       orders.name + "`"),
            "1-" + rows + "-" + rows);
}

// Values near the batch budget and past it (sent alone, their long values
// apart), and a chunk full by its bytes before its rows.
TEST_P(LoadDataTest, LargeValuesGoAsTheBatchedCopySendsThem) {
  FixtureTable notes;
  notes.name = "Notes";
  notes.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Body", ColumnKind::Memo)};
  notes.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  notes.inlineLongValueLimit = 0;
  notes.generatedRows = 60;
  notes.generator = [](int64_t i, std::vector<FixtureValue>& row) {
    row[0] = i % 37 == 5 ? int64_t{5} : i;
    const std::size_t size = i % 25 == 0 ? (std::size_t{3} << 20) / 2 : 300000 + (i % 7) * 1000;
    row[1] = std::string(size, static_cast<char>('a' + i % 26));
  };
  FixtureDatabase file;
  file.tables = {notes};
  Outcome loaded = ExpectSameThreeWays(file, "eng_load_large");
  EXPECT_EQ(loaded.summary.rowsRefused, 1);
  EXPECT_GE(loaded.loads, 1);
}

// Values near a small packet limit and past it: a row the INSERTs refuse
// for its size is refused alike, as the LOAD leaves such a table to them.
TEST_P(LoadDataTest, ValuesAtASmallPacketLimitGoAsTheOtherCopiesSendThem) {
  testing::ScopedServerGlobals globals(*server_, {{"max_allowed_packet", "65536"}});
  FixtureTable notes;
  notes.name = "Notes";
  notes.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Body", ColumnKind::Memo),
                   MakeColumn("Picture", ColumnKind::Ole)};
  notes.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  notes.inlineLongValueLimit = 0;
  notes.generatedRows = 12;
  notes.generator = [](int64_t i, std::vector<FixtureValue>& row) {
    static const std::size_t kSizes[] = {100, 30000, 63000, 64000, 64600, 65536, 70000, 200};
    row[0] = i + 1;
    row[1] = std::string(kSizes[i % 8], static_cast<char>('a' + i));
    row[2] = std::string(kSizes[(i + 3) % 8] / 2, static_cast<char>(i));
  };
  FixtureDatabase file;
  file.tables = {notes};
  Outcome loaded = ExpectSameThreeWays(file, "eng_load_packet");
  EXPECT_GE(loaded.summary.rowsRefused, 1);
}

// A table every row of which the server stores as sent.
FixtureTable Plain(int rows) {
  FixtureTable table;
  table.name = "Plain";
  table.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 40)};
  table.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  table.generatedRows = rows;
  table.generator = [](int64_t i, std::vector<FixtureValue>& row) {
    row[0] = i + 1;
    row[1] = "Plain row " + std::to_string(i);
  };
  return table;
}

// Reading that breaks off mid-table: the rows read before it are stored and
// the break is told as the batched copy tells it, whether the table's LOAD
// counted (Plain) or was undone for its refused rows (Orders).
TEST_P(LoadDataTest, ReadingBrokenOffMidTableKeepsTheRowsReadBeforeIt) {
  FixtureDatabase file;
  file.tables = {rows_testing::OrdersWithRefusals(), Plain(1000)};
  Twist twist;
  twist.breakAfter = 640;
  Outcome loaded = ExpectSameThreeWays(file, "eng_load_break", twist);
  EXPECT_EQ(loaded.summary.tablesIncomplete, 2);
  ASSERT_EQ(loaded.tables.size(), 2u);
  EXPECT_EQ(loaded.tables[1].size(), 640u);
  EXPECT_EQ(loaded.loads - loaded.unclean, 1) << "Plain's LOAD counted";
}

// The program ending at once mid-stream: the stream is broken off before
// its next piece, so the table holds no row the summary does not count as
// sent, and nothing else goes to the server.
TEST_P(LoadDataTest, EndingAtOnceMidStreamSendsNothingMore) {
  FixtureDatabase file;
  file.tables = {Plain(20000)};
  Twist twist;
  twist.endAtOnceAt = 10000;
  const std::string database =
      std::string("eng_load_end_") + (GetParam() == TableEngine::InnoDB ? "i" : "m");
  Outcome loaded = Convert(file, database, RowBatching{2, std::size_t{1} << 20, true}, twist);
  ASSERT_GE(loaded.sentWhenEnded, 10000);
  EXPECT_EQ(loaded.failedLoads, std::vector<std::string>{target::kLoadBrokenOffText});
  ASSERT_EQ(loaded.tables.size(), 1u);
  const long held = static_cast<long>(loaded.tables[0].size());
  EXPECT_LE(held, loaded.sentWhenEnded);
  EXPECT_LT(held, 20000);
  if (GetParam() == TableEngine::MyISAM) {
    EXPECT_GT(held, 0) << "the pieces before the end were stored";
  } else {
    EXPECT_EQ(held, 0) << "the transaction never commits";
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, LoadDataTest,
                         ::testing::Values(TableEngine::MyISAM, TableEngine::InnoDB),
                         [](const auto& info) {
                           return std::string(info.param == TableEngine::InnoDB ? "InnoDB"
                                                                                : "MyISAM");
                         });

// A server with local_infile off takes no LOAD: the rows go as batched
// INSERTs, with one notice for the whole run, and arrive as they would.
TEST(LoadDataServerTest, LocalInfileOffFallsBackToInsertsWithOneNotice) {
  auto server = testing::TestServerFromEnvironment();
  if (!server) GTEST_SKIP() << testing::kNoServerMessage;
  testing::ScopedServerGlobals globals(*server, {{"local_infile", "0"}});
  FixtureDatabase file;
  file.tables = {rows_testing::OrdersWithRefusals(), Values()};
  const std::string database = "eng_load_off";
  testing::ServerQuery(*server).Execute("DROP DATABASE IF EXISTS `" + database + "`");
  source::Catalog catalog;
  catalog.OpenBuffer(testing::WriteJet4(file));
  CatalogSource source(catalog, "");
  target::MySqlConnection connection;
  target::ConnectOptions options;
  options.port = static_cast<unsigned int>(server->port);
  ASSERT_EQ(connection.Connect(server->host, server->user, server->password, options),
            target::MySqlConnection::ConnectResult::Connected);
  CountingExecutor executor(connection);
  ConversionContext context(executor, source);
  context.batching = RowBatching{10, std::size_t{1} << 20, true};
  testing::RecordingOwner owner;
  std::vector<std::string> names = ListTableNames(catalog);
  owner.SetTables(names, std::vector<bool>(names.size(), true));
  owner.SetDestinationName(database);
  const ConversionSummary summary = RunConversion(owner, context);
  EXPECT_EQ(executor.loads, 0);
  ASSERT_EQ(owner.notices.size(), 1u);
  EXPECT_EQ(owner.notices[0].rfind("LOAD DATA LOCAL INFILE is not available (", 0), 0u)
      << owner.notices[0];
  EXPECT_EQ(summary.tablesConverted, 2);
  EXPECT_EQ(summary.rowsSent, 1258);
  testing::ServerQuery query(*server, database);
  const testing::Cell held =
      query.Value("SELECT (SELECT COUNT(*) FROM `Orders`) + (SELECT COUNT(*) FROM `Values`)");
  // Two rows cannot be read: refused, never sent.
  EXPECT_EQ(held, std::to_string(summary.rowsSent - summary.rowsRefused + 2));
  EXPECT_GE(summary.rowsRefused, 9);
  testing::ServerQuery(*server).Execute("DROP DATABASE IF EXISTS `" + database + "`");
}

}  // namespace
}  // namespace bracken::engine
