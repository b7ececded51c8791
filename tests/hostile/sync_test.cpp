// Sync on a server whose global settings work against it: changed values
// near and past the 4 MiB packet limit, and texts that would run as SQL
// under NO_BACKSLASH_ESCAPES, in keys and in changed columns.

#include <gtest/gtest.h>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/output/statement_executor.h"
#include "engine/source_connection.h"
#include "engine/sync/sync_run.h"
#include "tests/hostile/hostile_server.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/recording_owner.h"

namespace bracken::testing {
namespace {

using V = std::vector<FixtureValue>;

const std::string kHostile = "', (SELECT x FROM secrets)) -- \\' \\\\";

FixtureTable Files(std::vector<V> rows) {
  FixtureTable files;
  files.name = "Files";
  files.columns = {MakeColumn("Name", ColumnKind::Text, 50), MakeColumn("Data", ColumnKind::Ole),
                   MakeColumn("Notes", ColumnKind::Memo)};
  files.indexes = {{"PrimaryKey", {"Name"}, true, true, false}};
  files.rows = std::move(rows);
  return files;
}

class HostileSync : public HostileServer {
 protected:
  engine::SyncSummary Sync(const FixtureTable& table, bool convertFirst) {
    FixtureDatabase file;
    file.tables = {table};
    source::Catalog catalog;
    catalog.OpenBuffer(WriteJet4(file));
    engine::CatalogSource source(catalog, "");
    engine::MySqlStatementExecutor executor(connection_);
    engine::ConversionContext context(executor, source);
    context.batching = engine::RowBatching{1000, std::size_t{1} << 20, false};
    std::vector<std::string> tables = engine::ListTableNames(catalog);
    owner_.SetTables(tables, std::vector<bool>(tables.size(), true));
    owner_.SetDestinationName(database_->name());
    if (convertFirst) {
      engine::RunConversion(owner_, context);
      return {};
    }
    return engine::SyncTables(owner_, context, tables, connection_, database_->name(), {});
  }
  RecordingOwner owner_;
};

TEST_F(HostileSync, LongAndHostileValuesAreBroughtInLineOrNamed) {
  const std::string threeMiB = RandomBytes(3u << 20, 1);
  const std::string nineMiB = RandomBytes(9u << 20, 2);
  Sync(Files({V{std::string("photo"), std::string("small"), std::string("m")},
              V{std::string("scan"), std::string("small"), std::monostate{}},
              V{kHostile, std::string("\x00\x27\x5c", 3), std::string("old")},
              V{std::string("gone"), std::monostate{}, kHostile}}),
       true);
  ASSERT_EQ(ReadValue("SELECT COUNT(*) FROM Files"), "4");
  owner_.reportLines.clear();

  engine::SyncSummary summary =
      Sync(Files({V{std::string("photo"), threeMiB, std::string(3u << 20, 'm')},
                  V{std::string("scan"), nineMiB, std::monostate{}},
                  V{kHostile, std::string("\x00\x27\x5c", 3), kHostile},
                  V{std::string("new"), threeMiB, std::string("n")}}),
           false);
  ASSERT_EQ(summary.tables.size(), 1u);
  const engine::TableSync& files = summary.tables.front();
  EXPECT_EQ(files.added, 1);
  EXPECT_EQ(files.changed, 2);  // photo, and the hostile key's notes; scan is refused
  EXPECT_EQ(files.removed, 1);
  EXPECT_EQ(files.refused, 1);
  EXPECT_EQ(owner_.reportLines,
            std::vector<std::string>{
                "Table [Files], row 2: its changed values are larger than the server's "
                "max_allowed_packet of 4194304 bytes; the row was not updated."});
  EXPECT_EQ(ReadValue("SELECT Data FROM Files WHERE Name = 'photo'"), threeMiB);
  EXPECT_EQ(ReadValue("SELECT LENGTH(Notes) FROM Files WHERE Name = 'photo'"), "3145728");
  EXPECT_EQ(ReadValue("SELECT Data FROM Files WHERE Name = 'scan'"), "small");
  EXPECT_EQ(ReadValue("SELECT Data FROM Files WHERE Name = 'new'"), threeMiB);
  EXPECT_EQ(ReadValue("SELECT COUNT(*) FROM Files WHERE Name = 'gone'"), "0");
  EXPECT_EQ(ReadValue("SELECT Notes FROM Files WHERE Name <> 'photo' AND Name <> 'scan' AND "
                      "Name <> 'new'"),
            kHostile);
}

}  // namespace
}  // namespace bracken::testing
