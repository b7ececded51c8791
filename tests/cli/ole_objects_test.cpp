// OLE Object columns holding one value of every kind the fixtures write:
// inspect counts the classes per column and lists each value's class and
// embedded type in its JSON.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/fixture_writer.h"
#include "tests/support/ole_fixtures.h"
#include "tests/support/shell_run.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using V = std::vector<FixtureValue>;

// Table Objects: ID, Picture (one OLE sample per row, a NULL last) and Label.
FixtureDatabase OleDatabase() {
  FixtureTable table;
  table.name = "Objects";
  table.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Picture", ColumnKind::Ole),
                   MakeColumn("Label", ColumnKind::Text, 40)};
  table.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  int64_t id = 0;
  for (const OleSample& sample : OleSamples()) {
    table.rows.push_back(V{++id, sample.value, sample.label});
  }
  table.rows.push_back(V{++id, std::monostate{}, std::string("null")});
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
  EXPECT_NE(summary.output.find("    Picture  type 205  size 0  nullable\n"
                                "      OLE objects: PBrush 1, Package 1, MSPhotoEd.3 1, "
                                "AcroExch.Document.7 1, Excel.Sheet.8 1, Contoso.Image 1, "
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
          "{\"row\":5,\"column\":\"Picture\",\"class\":\"Contoso.Image\",\"embeddedType\":\"png\"},"
          "{\"row\":6,\"column\":\"Picture\",\"class\":\"SoundRec\",\"embeddedType\":\"none\"},"
          "{\"row\":7,\"column\":\"Picture\",\"class\":\"\",\"embeddedType\":\"none\","
          "\"damaged\":true},"
          "{\"row\":8,\"column\":\"Picture\",\"class\":\"Package\",\"embeddedType\":\"none\","
          "\"damaged\":true},"
          "{\"row\":9,\"column\":\"Picture\",\"class\":\"\",\"embeddedType\":\"none\","
          "\"empty\":true}]"),
      std::string::npos)
      << json.output.substr(json.output.find("oleObjects"));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace bracken::testing
