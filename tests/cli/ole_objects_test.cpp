// OLE Object columns holding one value of every kind the fixtures write:
// inspect counts the classes per column and lists each value's class and
// embedded type in its JSON; convert --ole-objects files stores the files
// they hold with their names and MIME types beside them, by every way the
// rows go (one INSERT per row, batched INSERTs, LOAD DATA, several jobs, a
// dump file), keeps the containers that hold none and counts them in the
// report, and verify --ole-objects files finds the copy identical; the
// default raw copy keeps every container byte for byte.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "source/ole/ole_content.h"
#include "tests/cli/cli_server_test.h"
#include "tests/support/file_damage.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/ole_fixtures.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using V = std::vector<FixtureValue>;

// Table Objects: ID, Picture (one OLE sample per row, a NULL last), Label
// and a text column already named as the file name's column would be; with
// `changed`, the first row holds the third sample's value (a JPEG) instead.
FixtureDatabase OleDatabase(bool changed = false) {
  FixtureTable table;
  table.name = "Objects";
  table.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Picture", ColumnKind::Ole),
                   MakeColumn("Label", ColumnKind::Text, 40),
                   MakeColumn("Picture_name", ColumnKind::Text, 20)};
  table.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  int64_t id = 0;
  for (const OleSample& sample : OleSamples()) {
    table.rows.push_back(V{++id, sample.value, sample.label, std::string("x")});
  }
  table.rows.push_back(V{++id, std::monostate{}, std::string("null"), std::string("x")});
  if (changed) table.rows[0][1] = OleSamples()[2].value;
  FixtureDatabase database;
  database.tables = {table};
  return database;
}

TEST(OleInspect, SummaryCountsClassesAndJsonNamesEveryValue) {
  const fs::path dir =
      fs::temp_directory_path() / ("bracken_ole_inspect_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path file = dir / "objects.mdb";
  WriteJet4File(OleDatabase(), file);
  const std::string program = std::string(BRACKEN_BINARY_DIR) + "/cli/bracken-cli";

  ShellRun summary = RunShell(ShellQuoted(program) + " inspect " + ShellQuoted(file.string()), dir);
  EXPECT_EQ(summary.status, 0) << summary.errors;
  EXPECT_NE(summary.output.find(
                "    Picture  type 205  size 0  nullable\n"
                "      OLE objects: PBrush 1, Package 1, MSPhotoEd.3 1, "
                "AcroExch.Document.7 1, Excel.Sheet.8 1, Word.Document.12 1, Contoso.Image 1, "
                "SoundRec 1, (damaged) 2, (empty) 1\n"
                "    Label  type 202"),
            std::string::npos)
      << summary.output;

  ShellRun json =
      RunShell(ShellQuoted(program) + " inspect --json " + ShellQuoted(file.string()), dir);
  EXPECT_EQ(json.status, 0) << json.errors;
  EXPECT_NE(
      json.output.find(
          "\"oleObjects\":["
          "{\"row\":0,\"column\":\"Picture\",\"class\":\"PBrush\",\"embeddedType\":\"bmp\"},"
          "{\"row\":1,\"column\":\"Picture\",\"class\":\"Package\",\"embeddedType\":\"package\"},"
          "{\"row\":2,\"column\":\"Picture\",\"class\":\"MSPhotoEd.3\",\"embeddedType\":\"jpeg\"},"
          "{\"row\":3,\"column\":\"Picture\",\"class\":\"AcroExch.Document.7\","
          "\"embeddedType\":\"pdf\"},"
          "{\"row\":4,\"column\":\"Picture\",\"class\":\"Excel.Sheet.8\",\"embeddedType\":\"xls\"},"
          "{\"row\":5,\"column\":\"Picture\",\"class\":\"Word.Document.12\",\"embeddedType\":"
          "\"docx\"},"
          "{\"row\":6,\"column\":\"Picture\",\"class\":\"Contoso.Image\",\"embeddedType\":\"png\"},"
          "{\"row\":7,\"column\":\"Picture\",\"class\":\"SoundRec\",\"embeddedType\":\"none\"},"
          "{\"row\":8,\"column\":\"Picture\",\"class\":\"\",\"embeddedType\":\"none\","
          "\"damaged\":true},"
          "{\"row\":9,\"column\":\"Picture\",\"class\":\"Package\",\"embeddedType\":\"none\","
          "\"damaged\":true},"
          "{\"row\":10,\"column\":\"Picture\",\"class\":\"\",\"embeddedType\":\"none\","
          "\"empty\":true}]"),
      std::string::npos)
      << json.output.substr(json.output.find("oleObjects"));
  fs::remove_all(dir);
}

// A value the file cannot give is counted as unreadable; the summary goes on.
TEST(OleInspect, AnUnreadableValueIsCountedAndTheSummaryGoesOn) {
  FixtureTable table;
  table.name = "Objects";
  table.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Picture", ColumnKind::Ole)};
  const std::string lost = std::string(3000, 'Z');
  table.rows = {V{int64_t{1}, OleSamples()[0].value},
                V{int64_t{2},
                  AccessOleValue("Package", "Package",
                                 Ole1Embedded("Package", PackageNative("z.txt", "z.txt", lost)))}};
  FixtureDatabase database;
  database.tables = {table};
  DamagedFile file(WriteJet4(database));
  file.LoseRow(file.LongValueRow(lost.substr(0, 100)));
  const fs::path dir =
      fs::temp_directory_path() / ("bracken_ole_unreadable_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path path = dir / "objects.mdb";
  { std::ofstream(path, std::ios::binary) << file.Bytes(); }
  ShellRun summary = RunShell(
      std::string(BRACKEN_BINARY_DIR) + "/cli/bracken-cli inspect " + ShellQuoted(path.string()),
      dir);
  EXPECT_NE(summary.output.find("      OLE objects: PBrush 1, (unreadable) 1\n"), std::string::npos)
      << summary.output << summary.errors;
  EXPECT_NE(summary.output.find("  Indexes: none"), std::string::npos) << summary.output;
  fs::remove_all(dir);
}

class OleConvertTest : public CliServerTest {
 protected:
  OleConvertTest() : CliServerTest("bracken_ole_convert") {}
  void SetUp() override {
    CliServerTest::SetUp();
    if (IsSkipped()) return;
    file_ = dir_ / "objects.mdb";
    WriteJet4File(OleDatabase(), file_);
  }
  void TearDown() override {
    for (const std::string& name : databases_) {
      ServerQuery(server_).Execute("DROP DATABASE IF EXISTS `" + name + "`");
    }
    CliServerTest::TearDown();
  }
  std::vector<std::string> Server(const std::string& database) {
    databases_.push_back(database);
    return {"--host", server_.host, "--port",     std::to_string(server_.port),
            "--user", server_.user, "--database", database};
  }
  ShellRun Convert(const std::string& database, const std::vector<std::string>& more) {
    std::vector<std::string> args = Server(database);
    args.push_back("--yes");
    args.insert(args.end(), more.begin(), more.end());
    return RunCommand("convert", file_, args);
  }
  ShellRun Dump(const std::string& database) {
    const fs::path dump = dir_ / (database + ".sql");
    databases_.push_back(database);
    ShellRun written =
        RunCommand("convert", file_,
                   {"--output", dump.string(), "--database", database, "--ole-objects", "files"});
    if (written.status != 0) return written;
    return RunShell("MYSQL_PWD=" + ShellQuoted(server_.password) + " mariadb -h " +
                        ShellQuoted(server_.host) + " -P " + std::to_string(server_.port) + " -u " +
                        ShellQuoted(server_.user) + " < " + ShellQuoted(dump.string()),
                    dir_);
  }
  ShellRun Verify(const std::string& database, const std::vector<std::string>& more) {
    std::vector<std::string> args = Server(database);
    args.insert(args.end(), more.begin(), more.end());
    return RunCommand("verify", file_, args);
  }

  // What the files copy must hold: each file with its name and type, each
  // other value as it was with NULL beside it.
  static std::vector<Row> ExpectedFiles() {
    std::vector<Row> rows;
    int id = 0;
    for (const OleSample& sample : OleSamples()) {
      const Cell id_ = std::to_string(++id);
      if (sample.file.empty()) {
        rows.push_back({id_, sample.value, std::nullopt, std::nullopt});
        continue;
      }
      const std::string name =
          source::ole::OleFileName(source::ole::ReadOleContent(sample.value), "Picture");
      if (!sample.fileName.empty()) {
        EXPECT_EQ(name, sample.fileName);
      }
      rows.push_back({id_, sample.file, name, sample.mimeType});
    }
    rows.push_back({std::to_string(++id), std::nullopt, std::nullopt, std::nullopt});
    return rows;
  }

  fs::path file_;
  std::vector<std::string> databases_;
};

TEST_F(OleConvertTest, FilesArriveByEveryWayAndVerify) {
  const char* kReport =
      "Table [Objects], column [Picture]: 3 OLE objects hold no file that can be taken out and "
      "are stored as Access holds them.";
  const std::vector<std::pair<std::string, std::vector<std::string>>> ways = {
      {"ole_rows", {"--row-by-row"}},
      {"ole_batched", {"--no-load-data"}},
      {"ole_load", {}},
      {"ole_jobs", {"--jobs", "2"}},
  };
  for (const auto& [database, options] : ways) {
    SCOPED_TRACE(database);
    std::vector<std::string> args = options;
    args.insert(args.end(), {"--ole-objects", "files"});
    ShellRun run = Convert(database, args);
    ASSERT_EQ(run.status, 0) << run.errors << run.output;
    EXPECT_NE((run.errors + run.output).find(kReport), std::string::npos) << run.errors;
    EXPECT_NE((run.errors + run.output)
                  .find("Table [Objects], column [Picture]: the names of its files go to column "
                        "[Picture_name_2] (another column of the table has that name in MySQL)."),
              std::string::npos)
        << run.errors;
    ServerQuery query(server_, database);
    EXPECT_EQ(query.Rows("SELECT ID, Picture, Picture_name_2, Picture_type FROM Objects "
                         "ORDER BY ID"),
              ExpectedFiles());
    EXPECT_EQ(query.Value("SELECT COUNT(*) FROM Objects WHERE Picture_name = 'x'"), "12");
    ShellRun verified = Verify(database, {"--ole-objects", "files"});
    EXPECT_EQ(verified.status, 0) << verified.output << verified.errors;
  }
  ShellRun dumped = Dump("ole_dump");
  ASSERT_EQ(dumped.status, 0) << dumped.errors << dumped.output;
  EXPECT_EQ(ServerQuery(server_, "ole_dump")
                .Rows("SELECT ID, Picture, Picture_name_2, Picture_type FROM Objects ORDER BY ID"),
            ExpectedFiles());
  ShellRun verified = Verify("ole_dump", {"--ole-objects", "files"});
  EXPECT_EQ(verified.status, 0) << verified.output << verified.errors;
  // The copy holds no containers where it held files: verify as raw says so.
  ShellRun raw = Verify("ole_dump", {});
  EXPECT_EQ(raw.status, 1) << raw.output;
}

// sync --ole-objects files leaves a files copy in step, and a value changed
// in the file changes the file, its name and its type in MySQL.
TEST_F(OleConvertTest, SyncKeepsAFilesCopyInStep) {
  ASSERT_EQ(Convert("ole_sync", {"--ole-objects", "files"}).status, 0);
  std::vector<std::string> args = Server("ole_sync");
  args.insert(args.end(), {"--ole-objects", "files"});
  ShellRun same = RunCommand("sync", file_, args);
  EXPECT_EQ(same.status, 0) << same.output << same.errors;
  EXPECT_NE(same.output.find("Objects: 0 added, 0 changed, 0 removed, 12 unchanged"),
            std::string::npos)
      << same.output;

  WriteJet4File(OleDatabase(true), file_);
  ShellRun changed = RunCommand("sync", file_, args);
  EXPECT_EQ(changed.status, 0) << changed.output << changed.errors;
  EXPECT_NE(changed.output.find("Objects: 0 added, 1 changed, 0 removed, 11 unchanged"),
            std::string::npos)
      << changed.output;
  const OleSample jpeg = OleSamples()[2];
  EXPECT_EQ(ServerQuery(server_, "ole_sync")
                .Rows("SELECT Picture, Picture_type FROM Objects WHERE ID = 1"),
            (std::vector<Row>{{jpeg.file, jpeg.mimeType}}));
  EXPECT_EQ(Verify("ole_sync", {"--ole-objects", "files"}).status, 0);
}

TEST_F(OleConvertTest, RawKeepsEveryContainerAndVerifiesAsRaw) {
  ShellRun run = Convert("ole_raw", {});
  ASSERT_EQ(run.status, 0) << run.errors << run.output;
  ServerQuery query(server_, "ole_raw");
  std::vector<Row> expected;
  int id = 0;
  for (const OleSample& sample : OleSamples()) {
    expected.push_back({std::to_string(++id), sample.value});
  }
  expected.push_back({std::to_string(++id), std::nullopt});
  EXPECT_EQ(query.Rows("SELECT ID, Picture FROM Objects ORDER BY ID"), expected);
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                        "'ole_raw' AND TABLE_NAME = 'Objects'"),
            "4");
  EXPECT_EQ(Verify("ole_raw", {}).status, 0);
  EXPECT_EQ(Verify("ole_raw", {"--ole-objects", "files"}).status, 1);
}

}  // namespace
}  // namespace bracken::testing
