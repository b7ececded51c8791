// Whole conversions on a server whose global settings work against them:
// values near and past the packet limit, texts that would run as SQL under
// NO_BACKSLASH_ESCAPES, and an AutoNumber 0.

#include <gtest/gtest.h>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/output/statement_executor.h"
#include "engine/run_report.h"
#include "engine/schema/row_key.h"
#include "engine/source_connection.h"
#include "tests/hostile/hostile_server.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/recording_owner.h"

namespace bracken::testing {
namespace {

using V = std::vector<FixtureValue>;

class HostileConversion : public HostileServer {
 protected:
  engine::ConversionSummary Convert(const FixtureDatabase& file, engine::RowBatching batching = {},
                                    bool addRowKeys = false) {
    source::Catalog catalog;
    catalog.OpenBuffer(WriteJet4(file));
    engine::CatalogSource source(catalog, "");
    engine::MySqlStatementExecutor executor(connection_);
    engine::ConversionContext context(executor, source);
    context.batching = batching;
    context.addRowKeys = addRowKeys;
    std::vector<std::string> tables = engine::ListTableNames(catalog);
    owner_.SetTables(tables, std::vector<bool>(tables.size(), true));
    owner_.SetDestinationName(database_->name());
    return engine::RunConversion(owner_, context);
  }
  RecordingOwner owner_;
};

TEST_F(HostileConversion, ValuesPastThePacketLimitArriveApartOrAreNamed) {
  FixtureTable files;
  files.name = "Files";
  files.columns = {MakeCounter("ID"), MakeColumn("Name", ColumnKind::Text, 50),
                   MakeColumn("Data", ColumnKind::Ole), MakeColumn("Notes", ColumnKind::Memo)};
  files.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  const std::string threeMiB = RandomBytes(3u << 20, 1);
  const std::string nineMiB = RandomBytes(9u << 20, 2);
  const std::string hostile = "', (SELECT x FROM secrets)) -- \\' \\\\";
  files.rows = {V{int64_t{1}, std::string("photo"), threeMiB, std::string(3u << 20, 'm')},
                V{int64_t{2}, std::string("scan"), nineMiB, std::monostate{}},
                V{int64_t{3}, hostile, std::string("\x00\x27\x5c", 3), hostile}};
  FixtureDatabase file;
  file.tables = {files};
  engine::ConversionSummary summary = Convert(file);
  EXPECT_EQ(summary.ending, engine::RunEnding::Completed);
  EXPECT_EQ(summary.rowsRefused, 1);
  EXPECT_EQ(owner_.reportLines,
            std::vector<std::string>{
                "Table [Files], row 2, column [Data]: the value of 9437184 bytes is larger than "
                "the server's max_allowed_packet of 4194304 bytes; the row is left out. Raise "
                "max_allowed_packet on the server (for example SET GLOBAL "
                "max_allowed_packet=1073741824, the largest it takes) and convert again."});
  EXPECT_EQ(owner_.reportMessage, engine::LossMessage(summary));
  EXPECT_EQ(ReadValue("SELECT COUNT(*) FROM Files"), "2");
  EXPECT_EQ(ReadValue("SELECT Data FROM Files WHERE ID = 1"), threeMiB);
  EXPECT_EQ(ReadValue("SELECT LENGTH(Notes) FROM Files WHERE ID = 1"), "3145728");
  EXPECT_EQ(ReadValue("SELECT HEX(Name) FROM Files WHERE ID = 3"), Hex(hostile));
  EXPECT_EQ(ReadValue("SELECT HEX(Notes) FROM Files WHERE ID = 3"), Hex(hostile));
  EXPECT_EQ(ReadValue("SELECT HEX(Data) FROM Files WHERE ID = 3"), "00275C");
}

// An auto-increment column takes 0 as "the next value" unless the session
// says otherwise: the row numbered 0 would become 1 and the real 1 refused.
TEST_F(HostileConversion, AnAutoNumberZeroStaysZero) {
  FixtureTable counters;
  counters.name = "Counters";
  counters.columns = {MakeCounter("ID"), MakeColumn("Label", ColumnKind::Text, 10)};
  counters.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  counters.rows = {V{int64_t{0}, std::string("zero")}, V{int64_t{1}, std::string("one")},
                   V{int64_t{2}, std::string("two")}};
  FixtureDatabase file;
  file.tables = {counters};
  engine::ConversionSummary summary = Convert(file);
  EXPECT_EQ(summary.rowsRefused, 0) << ::testing::PrintToString(owner_.messages);
  EXPECT_EQ(ReadValue("SELECT GROUP_CONCAT(ID, Label ORDER BY ID) FROM Counters"),
            "0zero,1one,2two");
  EXPECT_EQ(ReadValue("SELECT EXTRA FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                      "DATABASE() AND COLUMN_NAME = 'ID'"),
            "auto_increment");
}

// Batches stay under the packet limit, whatever their byte budget says; rows
// near the limit, past it and refused ones leave what one INSERT per row
// leaves.
TEST_F(HostileConversion, BatchesNearThePacketLimitLeaveWhatSingleRowsLeave) {
  FixtureTable big;
  big.name = "Big";
  big.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Body", ColumnKind::Memo)};
  big.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  const std::size_t limit = kPacketLimit - 2 - 1024;  // the longest row statement sent whole
  const std::vector<std::size_t> sizes = {10,         1u << 20, 20,          limit - 40,
                                          limit - 20, 30,       limit + 100, 2u << 20,
                                          (2u << 20), 5u << 20, 40,          50};
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const int64_t id = i == 8 ? 4 : static_cast<int64_t>(i);  // a duplicate key
    big.rows.push_back(V{id, std::string(sizes[i], static_cast<char>('a' + i))});
  }
  FixtureDatabase file;
  file.tables = {big};
  auto contents = [&] {
    return ReadValue(
        "SELECT GROUP_CONCAT(ID, ':', LENGTH(Body), ':', LEFT(MD5(Body), 6)) FROM Big");
  };
  engine::ConversionSummary single = Convert(file);
  const std::vector<std::string> singleReport = owner_.reportLines;
  const Cell singleContents = contents();
  owner_ = RecordingOwner{};
  engine::ConversionSummary batched = Convert(file, engine::RowBatching{100, 64u << 20});
  EXPECT_EQ(owner_.reportLines, singleReport);
  EXPECT_EQ(contents(), singleContents);
  EXPECT_EQ(batched.rowsSent, single.rowsSent);
  EXPECT_EQ(batched.rowsRefused, single.rowsRefused);
  EXPECT_EQ(single.rowsRefused, 2) << "the duplicate and the value past the limit";
}

// A table without a primary key given its invisible key column: a row whose
// value goes apart from its INSERT, and an AutoNumber 0 that is no key,
// arrive by every way the rows go, the rows numbered by the server.
TEST_F(HostileConversion, AnAddedKeyColumnTakesRowsWhoseValuesGoApart) {
  FixtureTable notes;
  notes.name = "Notes";
  notes.columns = {MakeCounter("ID"), MakeColumn("Body", ColumnKind::Memo),
                   MakeColumn("More", ColumnKind::Memo)};
  // Row 2 is larger than the packet limit, each of its values is not (a
  // null text arrives as '', as the conversion writes it).
  notes.rows = {V{int64_t{0}, std::string("zero"), std::monostate{}},
                V{int64_t{1}, std::string(3u << 20, 'm'), std::string(3u << 20, 'n')},
                V{int64_t{2}, std::string("two"), std::string("2")}};
  FixtureDatabase file;
  file.tables = {notes};
  for (const engine::RowBatching& batching :
       {engine::RowBatching{}, engine::RowBatching{100, 1u << 20, false},
        engine::RowBatching{100, 1u << 20, true}}) {
    SCOPED_TRACE(::testing::Message() << batching.rows << " rows, LOAD DATA " << batching.loadData);
    owner_ = RecordingOwner{};
    const engine::ConversionSummary summary = Convert(file, batching, true);
    EXPECT_EQ(summary.ending, engine::RunEnding::Completed);
    EXPECT_EQ(summary.rowsRefused, 0) << ::testing::PrintToString(owner_.reportLines);
    EXPECT_EQ(summary.rowKeysAdded, 1);
    EXPECT_EQ(owner_.reportLines,
              std::vector<std::string>{engine::RowKeyReportLine("Notes", "bracken_row_id")});
    EXPECT_EQ(ReadValue("SELECT GROUP_CONCAT(ID, ':', LENGTH(Body), ':', IFNULL(LENGTH(More), "
                        "'-'), ':', bracken_row_id ORDER BY ID) FROM Notes"),
              "0:4:0:1,1:3145728:3145728:2,2:3:1:3");
  }
}

}  // namespace
}  // namespace bracken::testing
