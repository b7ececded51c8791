// OLE Object and Binary cells of zero bytes, beside null and ordinary ones,
// in Jet 4, Jet 3 and ACE files: converted one INSERT per row, batched, and
// as a dump file loaded with the mariadb client, empty arrives empty and
// null arrives NULL, and verify finds the database identical; a NULL put in
// place of empty bytes (and empty bytes in place of a NULL) is named by
// verify. inspect --json shows empty bytes as "", not null.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/cli/cli_server_test.h"
#include "tests/support/ace_header.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using V = std::vector<FixtureValue>;

const std::string kLarge(3u << 20, '\x5a');

FixtureDatabase Blobs(bool withLargeRow) {
  FixtureColumn fixed = MakeColumn("Fixed", ColumnKind::Binary, 4);
  fixed.fixedSize = true;
  FixtureTable blobs;
  blobs.name = "Blobs";
  blobs.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Ole", ColumnKind::Ole),
                   MakeColumn("Bin", ColumnKind::Binary, 50), fixed,
                   MakeColumn("Note", ColumnKind::Text, 20)};
  blobs.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  const std::monostate null;
  const std::string empty;
  blobs.rows = {V{int64_t{1}, empty, empty, empty, null}, V{int64_t{2}, null, null, null, empty},
                V{int64_t{3}, std::string("\0\x01'\\", 4), std::string("ab"), std::string("wxyz"),
                  std::string("n")}};
  // Without a key verify pairs whole rows by their digest.
  FixtureTable loose;
  loose.name = "Loose";
  loose.columns = {MakeColumn("Ole", ColumnKind::Ole), MakeColumn("Note", ColumnKind::Text, 20)};
  loose.rows = {V{empty, std::string("a")}, V{null, std::string("b")}};
  FixtureDatabase database;
  database.tables = {blobs, loose};
  if (withLargeRow) {
    // Past the statement size a dump file assumes: its long values go apart.
    FixtureTable large;
    large.name = "Large";
    large.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Data", ColumnKind::Ole),
                     MakeColumn("Text", ColumnKind::Memo), MakeColumn("Empty", ColumnKind::Ole)};
    large.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    large.rows = {V{int64_t{1}, kLarge, std::string(3u << 20, 'x'), empty},
                  V{int64_t{2}, empty, null, null}};
    database.tables.push_back(large);
  }
  return database;
}

class EmptyBinaryTest : public CliServerTest {
 protected:
  EmptyBinaryTest() : CliServerTest("bracken_empty_binary") {}
  void TearDown() override {
    for (const std::string& name : databases_) {
      ServerQuery(server_).Execute("DROP DATABASE IF EXISTS `" + name + "`");
    }
    CliServerTest::TearDown();
  }

  ShellRun Cli(const std::string& command, const fs::path& file,
               const std::vector<std::string>& args) {
    return RunCommand(command, file, args);
  }
  std::vector<std::string> Server(const std::string& database) {
    databases_.push_back(database);
    return {"--host", server_.host, "--port",     std::to_string(server_.port),
            "--user", server_.user, "--database", database};
  }
  ShellRun Convert(const fs::path& file, const std::string& database,
                   const std::vector<std::string>& more) {
    std::vector<std::string> args = Server(database);
    args.push_back("--yes");
    args.insert(args.end(), more.begin(), more.end());
    return Cli("convert", file, args);
  }
  ShellRun Dump(const fs::path& file, const std::string& database) {
    const fs::path dump = dir_ / (database + ".sql");
    databases_.push_back(database);
    ShellRun written = Cli("convert", file, {"--output", dump.string(), "--database", database});
    if (written.status != 0) return written;
    return RunShell("MYSQL_PWD=" + ShellQuoted(server_.password) + " mariadb -h " +
                        ShellQuoted(server_.host) + " -P " + std::to_string(server_.port) + " -u " +
                        ShellQuoted(server_.user) + " < " + ShellQuoted(dump.string()),
                    dir_);
  }
  ShellRun Verify(const fs::path& file, const std::string& database) {
    return Cli("verify", file, Server(database));
  }

  // What the server holds, as the file wrote it.
  void ExpectArrived(const std::string& database, bool withLargeRow) {
    ServerQuery query(server_, database);
    const Cell null = std::nullopt;
    EXPECT_EQ(query.Rows("SELECT ID, HEX(Ole), HEX(Bin), HEX(Fixed), Note FROM Blobs ORDER BY ID"),
              (std::vector<Row>{
                  // A fixed-size Binary always holds its size, zeros when empty.
                  {"1", "", "", "00000000", ""},
                  {"2", null, null, null, ""},
                  {"3", "0001275C", "6162", "7778797A", "n"},
              }));
    EXPECT_EQ(query.Rows("SELECT HEX(Ole), Note FROM Loose ORDER BY Note"),
              (std::vector<Row>{{"", "a"}, {null, "b"}}));
    if (!withLargeRow) return;
    EXPECT_EQ(
        query.Rows("SELECT ID, LENGTH(Data), LENGTH(Text), HEX(Empty) FROM Large ORDER BY ID"),
        (std::vector<Row>{{"1", std::to_string(kLarge.size()), std::to_string(3u << 20), ""},
                          {"2", "0", "0", null}}));
  }

  std::vector<std::string> databases_;
};

TEST_F(EmptyBinaryTest, EmptyBytesArriveEmptyInEveryFormatAndEveryWay) {
  struct File {
    const char* name;
    std::string bytes;
    bool large;
  };
  const std::vector<File> files = {
      {"jet4", WriteJet4(Blobs(true)), true},
      {"jet3", WriteJet3(Blobs(false)), false},
      {"ace", AceFromJet4(WriteJet4(Blobs(false))), false},
  };
  for (const File& f : files) {
    SCOPED_TRACE(f.name);
    const fs::path file = dir_ / (std::string(f.name) + (f.name[0] == 'a' ? ".accdb" : ".mdb"));
    { std::ofstream(file, std::ios::binary) << f.bytes; }
    const std::string prefix = std::string("eng_empty_") + f.name;
    ShellRun single = Convert(file, prefix + "_single", {"--row-by-row"});
    ASSERT_EQ(single.status, 0) << single.errors << single.output;
    ExpectArrived(prefix + "_single", f.large);
    ShellRun batched = Convert(file, prefix + "_batched", {});
    ASSERT_EQ(batched.status, 0) << batched.errors << batched.output;
    ExpectArrived(prefix + "_batched", f.large);
    ShellRun dumped = Dump(file, prefix + "_dump");
    ASSERT_EQ(dumped.status, 0) << dumped.errors << dumped.output;
    ExpectArrived(prefix + "_dump", f.large);
    if (f.large) {
      std::ifstream dump(dir_ / (prefix + "_dump.sql"));
      const std::string text((std::istreambuf_iterator<char>(dump)), {});
      const std::size_t row = text.find("INSERT INTO `Large` VALUES(1,@bracken_long_1,'xxx");
      ASSERT_NE(row, std::string::npos);
      EXPECT_EQ(text.substr(text.find('\n', row) - 7, 7), "',X'');")
          << "the large row's longest value goes apart, its empty one stays";
    }
    for (const std::string& database :
         {prefix + "_single", prefix + "_batched", prefix + "_dump"}) {
      ShellRun verified = Verify(file, database);
      EXPECT_EQ(verified.status, 0) << database << "\n" << verified.output << verified.errors;
    }
  }
}

TEST_F(EmptyBinaryTest, VerifyTellsNullFromEmptyBytes) {
  const fs::path file = dir_ / "blobs.mdb";
  WriteJet4File(Blobs(false), file);
  ASSERT_EQ(Convert(file, "eng_empty_verify", {}).status, 0);
  ServerQuery query(server_, "eng_empty_verify");
  query.Execute("UPDATE Blobs SET Ole = NULL WHERE ID = 1");
  query.Execute("UPDATE Blobs SET Bin = X'' WHERE ID = 2");
  query.Execute("UPDATE Loose SET Ole = NULL WHERE Note = 'a'");
  ShellRun verified = Verify(file, "eng_empty_verify");
  EXPECT_EQ(verified.status, 1);
  EXPECT_EQ(verified.output,
            "Blobs: 2 differences (3 rows in the file, 3 in MySQL)\n"
            "  row ID=1: column [Ole] is X'' in the file, NULL in MySQL\n"
            "  row ID=2: column [Bin] is NULL in the file, X'' in MySQL\n"
            "Loose: 2 differences (2 rows in the file, 2 in MySQL)\n"
            "  a row in MySQL only: NULL, 'a'\n"
            "  row 1 of the file is missing in MySQL: X'', 'a'\n"
            "eng_empty_verify: 2 tables verified, 0 identical, 2 with differences\n")
      << verified.errors;
  query.Execute("UPDATE Blobs SET Ole = X'' WHERE ID = 1");
  query.Execute("UPDATE Blobs SET Bin = NULL WHERE ID = 2");
  query.Execute("UPDATE Loose SET Ole = X'' WHERE Note = 'a'");
  verified = Verify(file, "eng_empty_verify");
  EXPECT_EQ(verified.status, 0) << verified.output;
}

TEST_F(EmptyBinaryTest, InspectShowsEmptyBytesAsAnEmptyValue) {
  const fs::path file = dir_ / "blobs.mdb";
  WriteJet4File(Blobs(false), file);
  ShellRun json = Cli("inspect", file, {"--json"});
  ASSERT_EQ(json.status, 0) << json.errors;
  EXPECT_NE(json.output.find(R"("rows":[[1,"","","00000000",null],[2,null,null,null,""],)"),
            std::string::npos)
      << json.output;
  ShellRun text = Cli("inspect", file, {"--rows", "2"});
  EXPECT_NE(text.output.find("row 1: 1 | 0x | 0x | 0x00000000 | NULL"), std::string::npos)
      << text.output;
}

}  // namespace
}  // namespace bracken::testing
