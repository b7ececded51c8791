// bracken-cli sync against the test server: a copy made from one state of a
// file is brought in line with a later state of it (rows added, changed,
// removed; tables added, vanished, retyped), verify finds it clean after
// each sync, and a copy already in step gets no write statement.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/cli_child.h"
#include "tests/cli/cli_server_test.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"
#include "tests/support/test_server.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// How the test file's Orders table looks in one state of the file.
struct OrdersState {
  int64_t first = 1;
  int64_t last = 30;
  bool edited = false;  // some rows' values changed
};

FixtureTable Orders(const OrdersState& state) {
  FixtureTable orders;
  orders.name = "Orders";
  FixtureColumn amount = MakeColumn("Amount", ColumnKind::Decimal);
  amount.precision = 12;
  amount.scale = 4;
  orders.columns = {MakeColumn("OrderID", ColumnKind::Long),
                    MakeColumn("Customer", ColumnKind::Text, 40),
                    MakeColumn("Paid", ColumnKind::Boolean),
                    MakeColumn("Qty", ColumnKind::Byte),
                    MakeColumn("Small", ColumnKind::Integer),
                    MakeColumn("Weight", ColumnKind::Single),
                    MakeColumn("Ratio", ColumnKind::Double),
                    MakeColumn("Freight", ColumnKind::Currency),
                    MakeColumn("Shipped", ColumnKind::DateTime),
                    MakeColumn("Code", ColumnKind::Binary, 8),
                    MakeColumn("Photo", ColumnKind::Ole),
                    MakeColumn("Notes", ColumnKind::Memo),
                    MakeColumn("Link", ColumnKind::Hyperlink),
                    MakeColumn("Tag", ColumnKind::Guid),
                    amount};
  orders.indexes = {{"PrimaryKey", {"OrderID"}, true, true, false}};
  for (int64_t i = state.first; i <= state.last; ++i) {
    const bool edit = state.edited && i % 5 == 0;  // rows 5, 10, 15, ...
    const std::string memo(edit && i == 10 ? 70000 : 30000, static_cast<char>('a' + i % 26));
    std::vector<FixtureValue> row = {
        i,
        i % 7 == 0 ? FixtureValue{} : FixtureValue{"Customer " + std::to_string(i)},
        i % 2 == 0,
        i % 200,
        -i,
        i * 0.5,
        i / 3.0,
        int64_t{12345} * i,
        40000.0 + static_cast<double>(i) + 0.25,
        std::string("\x01\x02\x03\x04\x05\x06\x07", 7) + static_cast<char>(i),
        i % 3 == 0 ? FixtureValue{} : FixtureValue{std::string("\x00\x01\xff", 3)},
        memo,
        FixtureValue{"Site#http://example.com/" + std::to_string(i) + "#"},
        std::string(15, '\x11') + static_cast<char>(i),
        std::to_string(i) + ".2500"};
    if (edit) {
      // Every kind of column changes somewhere; NULL to value and back.
      switch (i % 4) {
        case 0:  // rows 20, 40: text to NULL, bytes changed, date moved
          row[1] = FixtureValue{};
          row[9] = std::string(8, '\x7f');
          row[8] = 41000.75;
          break;
        case 1:  // row 5, 25: NULL Ole to bytes, numbers changed
          row[10] = std::string("\x10\x20", 2);
          row[3] = int64_t{99};
          row[4] = int64_t{-999};
          row[5] = 1.25;
          row[6] = 2.0 / 7.0;
          row[14] = std::string("-7.1234");
          break;
        case 2:  // row 10, 30: the long memo, yes/no, money, link
          row[2] = !std::get<bool>(row[2]);
          row[7] = int64_t{1};
          row[12] = FixtureValue{"Moved#http://example.org/#"};
          break;
        default:  // row 15, 35: bytes to NULL, NULL text to a value, GUID
          row[10] = FixtureValue{};
          row[1] = FixtureValue{"Someone else"};
          row[13] = std::string(16, '\x22');
          break;
      }
    }
    orders.rows.push_back(std::move(row));
  }
  return orders;
}

FixtureTable Notes(int count) {
  FixtureTable notes;
  notes.name = "Notes";
  notes.columns = {MakeColumn("Line", ColumnKind::Text, 100),
                   MakeColumn("Count", ColumnKind::Integer)};
  for (int64_t i = 0; i < count; ++i)
    notes.rows.push_back({"note " + std::to_string(i % 5), i % 4});
  return notes;
}

FixtureTable Small(const std::string& name, ColumnKind valueKind, int rows) {
  FixtureTable table;
  table.name = name;
  table.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Value", valueKind, 20)};
  table.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  for (int64_t i = 1; i <= rows; ++i) {
    table.rows.push_back({i, valueKind == ColumnKind::Long ? FixtureValue{i * 10}
                                                           : FixtureValue{std::to_string(i * 10)}});
  }
  return table;
}

// Customers and their orders with what convert makes besides the rows: a
// default, descriptions, a column rule and a table rule, a relationship and
// a saved query. `later` is the same file after a day's work in Access:
// each of them changed. With `broken`, a new order breaks the rule on
// Quantity.
FixtureDatabase Shop(bool later, bool broken = false) {
  using V = std::vector<FixtureValue>;
  FixtureTable customers;
  customers.name = "Customers";
  FixtureColumn name = MakeColumn("Name", ColumnKind::Text, 30);
  name.description = later ? "Who pays" : "Who orders";
  FixtureColumn city = MakeColumn("City", ColumnKind::Text, 30);
  city.defaultValue = later ? "\"Basel\"" : "\"Bern\"";
  customers.columns = {MakeColumn("ID", ColumnKind::Long), name, city};
  customers.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  customers.description = later ? "Everyone who buys" : "The shop's customers";
  customers.rows = {V{int64_t{1}, std::string("Ann"), std::string("Bern")},
                    V{int64_t{2}, std::string("Bob"), std::string("Basel")}};
  FixtureTable orders;
  orders.name = "Orders";
  FixtureColumn quantity = MakeColumn("Quantity", ColumnKind::Long);
  quantity.defaultValue = "1";
  quantity.validationRule = later ? ">=1" : ">=0";
  orders.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Customer", ColumnKind::Long),
                    quantity, MakeColumn("Note", ColumnKind::Text, 20)};
  orders.indexes = {{"PrimaryKey", {"ID"}, true, true, false},
                    {"ByNote", {"Note"}, false, false, false}};
  if (!later) orders.validationRule = "[Quantity]<1000";
  orders.rows = {V{int64_t{10}, int64_t{1}, int64_t{3}, std::string("a")},
                 V{int64_t{11}, int64_t{2}, int64_t{5}, FixtureValue{}}};
  if (broken) orders.rows.push_back(V{int64_t{12}, int64_t{1}, int64_t{-1}, std::string("b")});
  FixtureRelationship relationship;
  relationship.name = "CustomersOrders";
  relationship.table = "Orders";
  relationship.columns = {"Customer"};
  relationship.referencedTable = "Customers";
  relationship.referencedColumns = {"ID"};
  relationship.cascadeDeletes = !later;
  relationship.cascadeUpdates = later;
  FixtureDatabase file;
  file.tables = {customers, orders};
  file.relationships = {relationship};
  file.queries.push_back(
      {"Local Customers",
       {{1, "", "", "", 1},
        {5, "Customers", "", "", std::nullopt},
        {6, "", "", "Customers.Name", std::nullopt},
        {8, "", "", later ? "Customers.City='Basel'" : "Customers.City='Bern'", std::nullopt}},
       {}});
  file.queries.push_back(
      {"Large Orders",
       {{1, "", "", "", 1},
        {2, "Least", "", "", 7},
        {5, "Orders", "", "", std::nullopt},
        {6, "", "", "Orders.ID", std::nullopt},
        {8, "", "", later ? "Orders.Quantity>[Least]" : "Orders.Quantity>=[Least]", std::nullopt}},
       {}});
  return file;
}

class SyncCommandTest : public CliServerTest {
 protected:
  SyncCommandTest() : CliServerTest("bracken_sync") {}

  void TearDown() override {
    if (!server_.host.empty()) ServerQuery(server_).Execute("DROP DATABASE IF EXISTS cli_sync");
    CliServerTest::TearDown();
  }

  ShellRun Run(const std::string& command, const std::string& file,
               const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"--host",     server_.host, "--user",
                                     server_.user, "--database", "cli_sync"};
    if (server_.port != 0) args.insert(args.end(), {"--port", std::to_string(server_.port)});
    args.insert(args.end(), more.begin(), more.end());
    return RunCommand(command, file, args);
  }

  std::string Write(const std::string& name, const FixtureDatabase& database) {
    const std::string path = (dir_ / name).string();
    WriteJet4File(database, path);
    return path;
  }

  std::string Write(const std::string& name, std::vector<FixtureTable> tables) {
    FixtureDatabase database;
    database.tables = std::move(tables);
    const std::string path = (dir_ / name).string();
    WriteJet4File(database, path);
    return path;
  }

  void ExpectVerifiedClean(const std::string& file) {
    ShellRun verified = Run("verify", file);
    EXPECT_EQ(verified.status, 0) << verified.output << verified.errors;
  }

  // The server's counts of statements and row operations that write.
  std::map<std::string, std::string> WriteCounters() {
    std::map<std::string, std::string> counters;
    for (const Row& row : ServerQuery(server_).Rows(
             "SHOW GLOBAL STATUS WHERE Variable_name IN ('Com_insert','Com_update','Com_delete',"
             "'Com_replace','Com_load','Com_truncate','Com_drop_table','Com_create_table',"
             "'Com_alter_table','Com_delete_multi','Com_update_multi','Com_create_view',"
             "'Com_drop_view','Com_create_procedure','Com_drop_procedure')")) {
      counters[row[0].value_or("")] = row[1].value_or("");
    }
    return counters;
  }
};

TEST_F(SyncCommandTest, RowsOfEveryKindAreAddedChangedAndRemoved) {
  for (const char* engine : {"MyISAM", "InnoDB"}) {
    SCOPED_TRACE(engine);
    const std::string before = Write("before.mdb", {Orders({1, 30, false}), Notes(12)});
    const std::string after = Write("after.mdb", {Orders({4, 33, true}), Notes(10)});
    ShellRun converted = Run("convert", before, {"--yes", "--engine", engine});
    ASSERT_EQ(converted.status, 0) << converted.errors;

    ShellRun synced = Run("sync", after);
    EXPECT_EQ(synced.status, 0) << synced.output << synced.errors;
    // Rows 1-3 gone, 31-33 new, 5, 10, ..., 30 changed (6 of rows 4-30).
    EXPECT_TRUE(Has(synced.output, "Orders: 3 added, 6 changed, 3 removed, 21 unchanged\n"))
        << synced.output;
    EXPECT_TRUE(Has(synced.output, "Notes: replaced, 10 rows (no key; 2 rows differed)\n"))
        << synced.output;
    EXPECT_TRUE(Has(synced.output,
                    "cli_sync: 2 tables, 0 in step, 2 brought in line, 0 not in line; rows: 3 "
                    "added, 6 changed, 3 removed, 0 refused\n"))
        << synced.output;
    ExpectVerifiedClean(after);

    // The copy is in step now: a second sync finds nothing to do.
    ShellRun again = Run("sync", after);
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_TRUE(Has(again.output, "Orders: 0 added, 0 changed, 0 removed, 30 unchanged\n"))
        << again.output;
  }
}

TEST_F(SyncCommandTest, ACopyInStepAndADryRunSendNoWrite) {
  const std::string before = Write("before.mdb", {Orders({1, 30, false}), Notes(12)});
  const std::string after = Write("after.mdb", {Orders({4, 33, true}), Notes(10)});
  ASSERT_EQ(Run("convert", before, {"--yes"}).status, 0);

  std::map<std::string, std::string> counters = WriteCounters();
  ShellRun inStep = Run("sync", before);
  EXPECT_EQ(inStep.status, 0) << inStep.output << inStep.errors;
  EXPECT_TRUE(Has(inStep.output, "cli_sync: 2 tables, 2 in step, 0 brought in line"))
      << inStep.output;
  EXPECT_EQ(WriteCounters(), counters);

  ShellRun dry = Run("sync", after, {"--dry-run"});
  EXPECT_EQ(dry.status, 1) << dry.output << dry.errors;  // something would change
  EXPECT_TRUE(Has(dry.output, "Orders: 3 to add, 6 to change, 3 to remove, 21 unchanged\n"))
      << dry.output;
  EXPECT_TRUE(Has(dry.output, "Notes: to be replaced, 10 rows (no key; 2 rows differed)\n"))
      << dry.output;
  EXPECT_TRUE(Has(dry.output, "cli_sync (dry run): 2 tables, 0 in step, 2 to bring in line"))
      << dry.output;
  EXPECT_EQ(WriteCounters(), counters);
  ExpectVerifiedClean(before);  // still the copy of the first state
}

TEST_F(SyncCommandTest, NewVanishedAndRetypedTables) {
  const std::string before =
      Write("before.mdb", {Small("Stock", ColumnKind::Text, 5), Small("Old", ColumnKind::Long, 3),
                           Small("Keep", ColumnKind::Long, 4)});
  // Stock's Value is now a number; Old is gone, Fresh is new.
  const std::string after =
      Write("after.mdb", {Small("Stock", ColumnKind::Long, 6), Small("Keep", ColumnKind::Long, 4),
                          Small("Fresh", ColumnKind::Text, 2)});
  ASSERT_EQ(Run("convert", before, {"--yes"}).status, 0);

  ShellRun synced = Run("sync", after);
  // Old is left in MySQL and named; the file's tables match, so all is well.
  EXPECT_EQ(synced.status, 0) << synced.output << synced.errors;
  EXPECT_TRUE(Has(synced.output,
                  "Stock: rebuilt, 6 rows: its columns no longer match the file\n"
                  "  column [Value]"))
      << synced.output;
  EXPECT_TRUE(Has(synced.output, "Keep: 0 added, 0 changed, 0 removed, 4 unchanged\n"))
      << synced.output;
  EXPECT_TRUE(Has(synced.output, "Fresh: created, 2 rows\n")) << synced.output;
  EXPECT_TRUE(Has(synced.output, "Old: in MySQL only, left alone (--delete-tables drops it)\n"))
      << synced.output;
  EXPECT_EQ(ServerQuery(server_, "cli_sync").Value("SELECT COUNT(*) FROM Old"), "3");
  ExpectVerifiedClean(after);

  ShellRun dropped = Run("sync", after, {"--delete-tables"});
  EXPECT_EQ(dropped.status, 0) << dropped.output << dropped.errors;
  EXPECT_TRUE(Has(dropped.output, "Old: in MySQL only, dropped\n")) << dropped.output;
  EXPECT_EQ(ServerQuery(server_).Value(
                "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                "'cli_sync' AND TABLE_NAME = 'Old'"),
            "0");
  EXPECT_EQ(Run("sync", after, {"--delete-tables", "--table", "Keep"}).status, 2);
}

TEST_F(SyncCommandTest, ADatabaseMadeFromAnotherFileIsRefusedUnlessForced) {
  const std::string mine = Write("mine.mdb", {Small("Keep", ColumnKind::Long, 4)});
  const std::string other = Write(
      "other.mdb", {Small("Stock", ColumnKind::Text, 5), Small("Parts", ColumnKind::Text, 2)});
  ASSERT_EQ(Run("convert", other, {"--yes"}).status, 0);

  ShellRun refused = Run("sync", mine);
  EXPECT_EQ(refused.status, 3) << refused.output << refused.errors;
  EXPECT_TRUE(
      Has(refused.output,
          "The database [cli_sync] was not made from this file; nothing was changed "
          "(--force syncs it anyway).\n3 of 3 tables are not on both sides, 0 of 0 columns of "
          "the others differ:\n"
          "  table [Keep]: not in MySQL\n  table [Parts]: in MySQL only\n"
          "  table [Stock]: in MySQL only\n"))
      << refused.output;
  ServerQuery query(server_, "cli_sync");
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                        "'cli_sync'"),
            "2");

  ShellRun forced = Run("sync", mine, {"--force", "--delete-tables"});
  EXPECT_EQ(forced.status, 0) << forced.output << forced.errors;
  ExpectVerifiedClean(mine);
}

// A row the server refuses is reported as the conversion reports it; the
// other rows of its INSERT arrive, whatever the engine keeps of a refused
// statement.
TEST_F(SyncCommandTest, RefusedRowsAreReportedAndTheRestArrive) {
  for (const char* engine : {"MyISAM", "InnoDB"}) {
    SCOPED_TRACE(engine);
    const std::string before = Write("before.mdb", {Small("Keep", ColumnKind::Long, 4)});
    // Rows 2 to 4 changed: their UPDATE goes as one, refused for row 3.
    FixtureTable changed = Small("Keep", ColumnKind::Long, 9);
    for (int i = 1; i <= 3; ++i) changed.rows[static_cast<std::size_t>(i)][1] = int64_t{i * 10 + 1};
    const std::string after = Write("after.mdb", {changed});
    ASSERT_EQ(Run("convert", before, {"--yes", "--engine", engine}).status, 0);
    ServerQuery query(server_, "cli_sync");
    query.Execute(
        "CREATE TRIGGER refuse_seven BEFORE INSERT ON Keep FOR EACH ROW "
        "IF NEW.ID = 7 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'no seven'; END IF");
    query.Execute(
        "CREATE TRIGGER refuse_three BEFORE UPDATE ON Keep FOR EACH ROW "
        "IF NEW.ID = 3 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'no three'; END IF");
    ShellRun synced = Run("sync", after);
    EXPECT_EQ(synced.status, 1) << synced.output << synced.errors;
    EXPECT_TRUE(Has(synced.errors, "Table [Keep], row 7: refused by the server: no seven"))
        << synced.errors;
    EXPECT_TRUE(Has(synced.errors, "Table [Keep], row 3: refused by the server: no three"))
        << synced.errors;
    EXPECT_TRUE(Has(synced.output, "Keep: 4 added, 2 changed, 0 removed, 1 unchanged, 2 refused\n"))
        << synced.output;
    EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(ID, ':', Value ORDER BY ID) FROM Keep"),
              "1:10,2:11,3:30,4:31,5:50,6:60,8:80,9:90");
  }
}

// A copy whose key lost its uniqueness in MySQL (the key changed in Access,
// or was dropped on the server) holds a key twice: deleting by key would
// take the paired row too, so the table is replaced whole.
TEST_F(SyncCommandTest, AKeyHeldTwiceInMySqlReplacesTheTable) {
  const std::string file = Write("keep.mdb", {Small("Keep", ColumnKind::Long, 4)});
  ASSERT_EQ(Run("convert", file, {"--yes"}).status, 0);
  ServerQuery query(server_, "cli_sync");
  query.Execute("ALTER TABLE Keep DROP PRIMARY KEY");
  query.Execute("INSERT INTO Keep VALUES (2, 99)");
  ShellRun synced = Run("sync", file);
  EXPECT_EQ(synced.status, 0) << synced.output << synced.errors;
  EXPECT_TRUE(Has(synced.output, "Keep: replaced, 4 rows\n  its key is not unique in MySQL\n"))
      << synced.output;
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(ID, ':', Value ORDER BY ID) FROM Keep"),
            "1:10,2:20,3:30,4:40");
}

// A table the server breaks off is named; with InnoDB its changes are
// undone together, so it stays as it was.
TEST_F(SyncCommandTest, AFailedInnoDbTableStaysAsItWas) {
  const std::string before = Write("before.mdb", {Small("Keep", ColumnKind::Long, 6)});
  FixtureTable fewer = Small("Keep", ColumnKind::Long, 6);
  fewer.rows.erase(fewer.rows.begin(), fewer.rows.begin() + 3);  // 1, 2 and 3 are gone
  fewer.rows.push_back({int64_t{7}, int64_t{70}});
  fewer.rows[0][1] = int64_t{41};  // and 4 changed
  const std::string after = Write("after.mdb", {fewer});
  ASSERT_EQ(Run("convert", before, {"--yes", "--engine", "InnoDB"}).status, 0);
  ServerQuery(server_, "cli_sync")
      .Execute(
          "CREATE TRIGGER keep_three BEFORE DELETE ON Keep FOR EACH ROW "
          "IF OLD.ID = 3 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'keep three'; END IF");
  ShellRun synced = Run("sync", after);
  EXPECT_EQ(synced.status, 1) << synced.output << synced.errors;
  EXPECT_TRUE(Has(synced.output,
                  "Keep: not brought in line\n"
                  "  rows no longer in the file could not be removed: keep three\n"
                  "  its changes were rolled back; the table is as it was\n"))
      << synced.output;
  EXPECT_EQ(ServerQuery(server_, "cli_sync")
                .Value("SELECT GROUP_CONCAT(ID, ':', Value ORDER BY ID) FROM Keep"),
            "1:10,2:20,3:30,4:40,5:50,6:60");
}

// A conversion killed while it copies a table leaves that table short (with
// its plain indexes disabled) and the later tables missing; a sync then ends
// with the copy one whole run makes.
TEST_F(SyncCommandTest, AConversionKilledMidTableIsCompletedBySync) {
  using namespace std::chrono_literals;
  FixtureTable big;
  big.name = "Big";
  big.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 40),
                 MakeColumn("Amount", ColumnKind::Double)};
  big.indexes = {{"PrimaryKey", {"ID"}, true, true, false},
                 {"ByName", {"Name"}, false, false, false}};
  big.generatedRows = 40000;
  big.generator = [](int64_t index, std::vector<FixtureValue>& row) {
    row = {index + 1, "name " + std::to_string(index % 997), index * 0.25};
  };
  const std::string file = Write("big.mdb", {big, Notes(500), Small("After", ColumnKind::Long, 5)});
  ServerQuery query(server_);
  query.Execute("DROP DATABASE IF EXISTS cli_sync");
  {
    std::vector<std::string> args = {"convert", file,           "--host",     server_.host,
                                     "--user",  server_.user,   "--database", "cli_sync",
                                     "--yes",   "--batch-rows", "500",        "--no-load-data"};
    if (server_.port != 0) args.insert(args.end(), {"--port", std::to_string(server_.port)});
    CliChild child(dir_, args, {"MYSQL_PWD=" + server_.password});
    for (auto end = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(2ms)) {
      const Cell rows = query.Value(
          "SELECT COALESCE(SUM(TABLE_ROWS), 0) FROM information_schema.TABLES WHERE "
          "TABLE_SCHEMA = 'cli_sync' AND TABLE_NAME = 'Big'");
      if (rows && *rows != "0") break;
    }
    child.Signal(SIGKILL);
    child.Wait(5s);
  }
  EXPECT_NE(query.Value("SELECT COUNT(*) FROM cli_sync.Big"), "40000") << "killed too late";

  ShellRun synced = Run("sync", file);
  EXPECT_EQ(synced.status, 0) << synced.output << synced.errors;
  EXPECT_TRUE(Has(synced.output, "; its disabled indexes enabled\n")) << synced.output;
  ExpectVerifiedClean(file);
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = "
                        "'cli_sync' AND COMMENT = 'disabled'"),
            "0");
  ShellRun again = Run("sync", file);
  EXPECT_TRUE(Has(again.output, "cli_sync: 3 tables, 3 in step")) << again.output;
}

// The first Ctrl-C lets the current table finish and stops before the next.
TEST_F(SyncCommandTest, CtrlCStopsAfterTheCurrentTable) {
  using namespace std::chrono_literals;
  const std::string before = Write(
      "before.mdb", {Small("Keep", ColumnKind::Long, 4), Small("After", ColumnKind::Long, 2)});
  const std::string after =
      Write("after.mdb", {Small("Keep", ColumnKind::Long, 5), Small("After", ColumnKind::Long, 3)});
  ASSERT_EQ(Run("convert", before, {"--yes"}).status, 0);
  ServerQuery holder(server_, "cli_sync");
  holder.Execute("LOCK TABLES After WRITE");  // the sync waits on its first table
  std::vector<std::string> args = {"sync",   after,        "--host",     server_.host,
                                   "--user", server_.user, "--database", "cli_sync"};
  if (server_.port != 0) args.insert(args.end(), {"--port", std::to_string(server_.port)});
  CliChild child(dir_, args, {"MYSQL_PWD=" + server_.password});
  std::this_thread::sleep_for(500ms);
  child.Signal(SIGINT);
  ASSERT_TRUE(child.WaitForError("Stopping after the current table", 5s)) << child.Errors();
  holder.Execute("UNLOCK TABLES");
  EXPECT_EQ(child.Wait(10s), 1) << child.Errors();
  EXPECT_TRUE(Has(child.Output(), "After: 1 added, 0 changed, 0 removed, 2 unchanged\n"))
      << child.Output();
  EXPECT_FALSE(Has(child.Output(), "Keep:")) << child.Output();
  EXPECT_TRUE(Has(child.Output(), "; stopped\n")) << child.Output();
}

TEST_F(SyncCommandTest, ChangedAttachmentsOfACorpusFileAreBroughtBack) {
  const fs::path file = fs::path(BRACKEN_SHARED_DIR) / "corpus" / "ace" / "attachmentsV2016.accdb";
  if (!fs::exists(file)) GTEST_SKIP() << "no corpus beside the checkout";
  ASSERT_EQ(Run("convert", file.string(), {"--yes"}).status, 0);
  ServerQuery query(server_, "cli_sync");
  query.Execute("UPDATE Table1_Attachments SET FileData = X'00' LIMIT 1");
  query.Execute("DELETE FROM Table1 LIMIT 1");
  ShellRun synced = Run("sync", file.string());
  EXPECT_EQ(synced.status, 0) << synced.output << synced.errors;
  EXPECT_TRUE(Has(synced.output, "Table1: 1 added, 0 changed, 0 removed, 2 unchanged\n"))
      << synced.output;
  EXPECT_TRUE(
      Has(synced.output, "Table1_Attachments: replaced, 4 rows (no key; 2 rows differed)\n"))
      << synced.output;
  ExpectVerifiedClean(file.string());
}

// Defaults, comments, rules, a relationship and a saved query changed in
// Access are brought in line as convert makes them; verify then finds the
// copy clean, and a second sync sends nothing.
TEST_F(SyncCommandTest, RulesRelationshipsAndQueriesAreBroughtInLine) {
  const std::string before = Write("shop.mdb", Shop(false));
  const std::string after = Write("shop-later.mdb", Shop(true));
  ASSERT_EQ(Run("convert", before, {"--yes", "--engine", "InnoDB"}).status, 0);

  ShellRun synced = Run("sync", after);
  EXPECT_EQ(synced.status, 0) << synced.output << synced.errors;
  for (const char* line :
       {"Customers: 0 added, 0 changed, 0 removed, 2 unchanged\n",
        "  brought in line: column [Name]: its default, comment and NULL as the file has them\n",
        "  brought in line: column [City]: its default, comment and NULL as the file has them\n",
        "  brought in line: the table's comment\n",
        "  brought in line: the CHECK constraint Orders_Quantity made again: its rule is now >=1\n",
        "  brought in line: the CHECK constraint Orders_rule dropped: the file has no such rule\n",
        "Brought in line: the foreign key CustomersOrders of [Orders] dropped: no relationship of "
        "the file asks for it\n",
        "Brought in line: the foreign key of relationship [CustomersOrders] added\n",
        "Brought in line: the view [Local Customers] of query [Local Customers] made again\n",
        "Brought in line: the procedure [Large Orders] of query [Large Orders] made again\n",
        "cli_sync: 2 tables, 0 in step, 2 brought in line, 0 not in line; rows: 0 added, 0 "
        "changed, 0 removed, 0 refused; 4 foreign keys and queries brought in line\n"}) {
    EXPECT_TRUE(Has(synced.output, line)) << line << "\n" << synced.output;
  }
  ExpectVerifiedClean(after);
  ServerQuery query(server_, "cli_sync");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(Name) FROM `Local Customers`"), "Bob");
  EXPECT_EQ(query.Value("SELECT CONCAT(INSTR(ROUTINE_DEFINITION, '> p_Least') > 0, "
                        "INSTR(ROUTINE_DEFINITION, '>= p_Least') > 0) FROM "
                        "information_schema.ROUTINES WHERE ROUTINE_SCHEMA = 'cli_sync'"),
            "10");
  EXPECT_EQ(query.Value("SELECT CONCAT(UPDATE_RULE, '/', DELETE_RULE) FROM "
                        "information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = "
                        "'cli_sync'"),
            "CASCADE/RESTRICT");
  EXPECT_EQ(query.Value("SELECT COLUMN_DEFAULT FROM information_schema.COLUMNS WHERE "
                        "TABLE_SCHEMA = 'cli_sync' AND COLUMN_NAME = 'City'"),
            "'Basel'");

  // In step now: nothing is sent, not even a view.
  std::map<std::string, std::string> counters = WriteCounters();
  ShellRun again = Run("sync", after);
  EXPECT_EQ(again.status, 0) << again.output << again.errors;
  EXPECT_TRUE(Has(again.output, "cli_sync: 2 tables, 2 in step, 0 brought in line"))
      << again.output;
  EXPECT_EQ(WriteCounters(), counters);

  // A table sync creates gets its foreign key back, once its rows are in.
  query.Execute("DROP TABLE Orders");
  ShellRun created = Run("sync", after);
  EXPECT_EQ(created.status, 0) << created.output << created.errors;
  EXPECT_TRUE(Has(created.output, "Orders: created, 2 rows\n")) << created.output;
  EXPECT_TRUE(Has(created.output,
                  "Brought in line: the foreign key of relationship [CustomersOrders] added\n"))
      << created.output;
  ExpectVerifiedClean(after);

  // Without rules and queries, as convert and verify take them.
  ShellRun plain = Run("sync", after, {"--no-rules", "--no-queries"});
  EXPECT_EQ(plain.status, 0) << plain.output << plain.errors;
  EXPECT_TRUE(Has(plain.output, "  brought in line: the table's comment\n")) << plain.output;
  EXPECT_FALSE(Has(plain.output, "view")) << plain.output;
  ShellRun verified = Run("verify", after, {"--no-rules", "--no-queries"});
  EXPECT_EQ(verified.status, 0) << verified.output << verified.errors;
}

// A conversion cut short before it added an InnoDB table's plain indexes
// after the rows leaves the table without them; sync adds them.
TEST_F(SyncCommandTest, PlainIndexesAnInnoDbCopyLacksAreAdded) {
  const std::string file = Write("shop.mdb", Shop(false));
  ASSERT_EQ(Run("convert", file, {"--yes", "--engine", "InnoDB"}).status, 0);
  ServerQuery query(server_, "cli_sync");
  const Cell name = query.Value(
      "SELECT INDEX_NAME FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = 'cli_sync' AND "
      "TABLE_NAME = 'Orders' AND COLUMN_NAME = 'Note'");
  ASSERT_TRUE(name);
  query.Execute("ALTER TABLE Orders DROP INDEX `" + *name + "`");

  ShellRun dry = Run("sync", file, {"--dry-run"});
  EXPECT_EQ(dry.status, 1) << dry.output << dry.errors;
  EXPECT_TRUE(Has(dry.output, "  the index `" + *name + "` to be added\n")) << dry.output;
  ShellRun synced = Run("sync", file);
  EXPECT_EQ(synced.status, 0) << synced.output << synced.errors;
  EXPECT_TRUE(Has(synced.output, "  the index `" + *name + "` added\n")) << synced.output;
  EXPECT_EQ(query.Value("SELECT INDEX_NAME FROM information_schema.STATISTICS WHERE TABLE_SCHEMA "
                        "= 'cli_sync' AND TABLE_NAME = 'Orders' AND COLUMN_NAME = 'Note'"),
            name);
  ShellRun again = Run("sync", file);
  EXPECT_TRUE(Has(again.output, "cli_sync: 2 tables, 2 in step")) << again.output;
}

// A row is never refused for a rule, as convert never refuses one: the row
// arrives, and the rule it breaks is dropped and named.
TEST_F(SyncCommandTest, ARowBreakingARuleArrivesAndTheRuleIsNamed) {
  const std::string before = Write("shop.mdb", Shop(false));
  const std::string after = Write("shop-broken.mdb", Shop(false, true));
  ASSERT_EQ(Run("convert", before, {"--yes"}).status, 0);
  ShellRun synced = Run("sync", after);
  EXPECT_EQ(synced.status, 1) << synced.output << synced.errors;
  EXPECT_TRUE(Has(synced.output,
                  "Orders: 1 added, 0 changed, 0 removed, 2 unchanged\n"
                  "  the CHECK constraint Orders_Quantity (the rule >=0) was dropped: 1 row "
                  "breaks it\n"))
      << synced.output;
  EXPECT_EQ(ServerQuery(server_, "cli_sync").Value("SELECT Quantity FROM Orders WHERE ID = 12"),
            "-1");
  ExpectVerifiedClean(after);
  EXPECT_EQ(Run("sync", after).status, 0);
}

}  // namespace
}  // namespace bracken::testing
