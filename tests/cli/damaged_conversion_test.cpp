// Damaged files converted as a user converts them: bracken-cli convert into
// the test server, then verify. For each kind of damage, in Jet 3, Jet 4 and
// ACE: the rest of the file arrives and verifies clean, the damaged part is
// named in the report, and a run that lost anything never exits 0 or says it
// completed successfully.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "tests/cli/cli_server_test.h"
#include "tests/support/file_damage.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"

namespace bracken::testing {
namespace {

struct DamageCase {
  std::string name;
  std::function<void(DamagedFile&, FileFormat)> damage;
  std::string named;             // a part of the report that names it; "" for none
  long ordersArriving = 32;      // rows of Orders on the server
  long customersArriving = 200;  // -1: the table is not created
  bool runLoses = true;
  bool catalogueDamaged = false;  // verify then finds no table proven whole
};

uint32_t CustomersDefinition(const DamagedFile& file, FileFormat format) {
  return file.DefinitionPageHolding(StoredText(format, "city 7"));
}

uint32_t OrdersDefinition(const DamagedFile& file, FileFormat format) {
  return file.DefinitionPageHolding(StoredText(format, "order 1"));
}

std::vector<DamageCase> Cases() {
  return {
      {"a property blob leading to a definition page",
       [](DamagedFile& file, FileFormat format) {
         uint32_t blob = file.LongValueRow(StoredText(format, "Every order the shop took"));
         file.RedirectLongValue(blob, OrdersDefinition(file, format) << 8);
       },
       "Report: Table [Orders]: its properties cannot be read (a long value pointer does not "
       "lead to a data page); they are unknown"},
      {"a memo leading to a definition page",
       [](DamagedFile& file, FileFormat format) {
         uint32_t memo = file.LongValueRow(StoredText(format, "page-note"));
         file.RedirectLongValue(memo, OrdersDefinition(file, format) << 8);
       },
       "Report: Table [Orders], row 31, column [Note]: the value cannot be read (The database "
       "file is damaged: a long value pointer does not lead to a data page.). The row is left out.",
       31},
      {"a memo whose row was deleted",
       [](DamagedFile& file, FileFormat format) {
         file.DeleteRow(file.LongValueRow(StoredText(format, "page-note")));
       },
       "", 32, 200, false},
      {"a memo whose deleted row is gone",
       [](DamagedFile& file, FileFormat format) {
         file.LoseRow(file.LongValueRow(StoredText(format, "page-note")));
       },
       "a long value points to a deleted row", 31},
      {"a memo chain that loops",
       [](DamagedFile& file, FileFormat format) {
         file.LoopChain(file.LongValueRow(StoredText(format, "chain-note")));
       },
       "Report: Table [Orders], row 32, column [Note]: the value cannot be read (The database "
       "file is damaged: a long value chain forms a loop.). The row is left out.",
       31},
      {"a zeroed data page",
       [](DamagedFile& file, FileFormat format) {
         file.ZeroPage(file.DataPagesOf(CustomersDefinition(file, format)).front());
       },
       "Report: Table [Customers]: the file counts 200 rows, but ", 32, -2},
      {"a zeroed table definition",
       [](DamagedFile& file, FileFormat format) {
         file.ZeroPage(CustomersDefinition(file, format));
       },
       "Report: Table [Customers]: its definition cannot be read", 32, -1},
      {"a lost map of data pages",
       [](DamagedFile& file, FileFormat format) {
         size_t at = size_t{CustomersDefinition(file, format)} * file.PageSize() +
                     (format == FileFormat::Jet3 ? 35 : 55);
         file.Scribble(static_cast<uint32_t>(at / file.PageSize()), at % file.PageSize() + 3, 1,
                       0x7F);
       },
       "Report: Table [Customers]: the map of its data pages cannot be read"},
      {"a catalogue row that cannot be read",
       [](DamagedFile& file, FileFormat) {
         std::string bytes = file.Bytes();
         ASSERT_GT(BreakRowHolding(bytes, "Customers"), 0);
         file = DamagedFile(bytes);
       },
       "Report: The catalogue of the file's objects is damaged: on page ", 32, -1, true, true},
  };
}

class DamagedConversion : public CliServerTest, public ::testing::WithParamInterface<FileFormat> {
 protected:
  DamagedConversion() : CliServerTest("bracken_damaged") {}

  ShellRun Run(const std::string& command, const std::string& file, const std::string& database,
               const std::string& more = "") {
    return RunShell("MYSQL_PWD=" + ShellQuoted(server_.password) + " " +
                        ShellQuoted(program_.string()) + " " + command + " " + ShellQuoted(file) +
                        " --host " + ShellQuoted(server_.host) + " --user " +
                        ShellQuoted(server_.user) + " --database " + database + " " + more,
                    dir_);
  }
};

// Every table verify finds different shows at least one line of why,
// also when its check ended early (the table unreadable in the file).
bool EveryDifferenceSaysWhat(const std::string& output) {
  std::istringstream lines(output);
  std::string line;
  bool headerBefore = false;
  while (std::getline(lines, line)) {
    if (headerBefore && line.rfind("  ... and ", 0) == 0) return false;
    headerBefore = line.find(" difference") != std::string::npos &&
                   line.find(" in the file, ") != std::string::npos;
  }
  return true;
}

long Count(ServerQuery& query, const std::string& table) {
  auto rows = query.Rows("SELECT COUNT(*) FROM `" + table + "`");
  return std::stol(*rows.at(0).at(0));
}

bool TableExists(ServerQuery& query, const std::string& database, const std::string& table) {
  return !query
              .Rows("SELECT 1 FROM information_schema.TABLES WHERE TABLE_SCHEMA='" + database +
                    "' AND TABLE_NAME='" + table + "'")
              .empty();
}

TEST_P(DamagedConversion, TheRestArrivesAndVerifiesAndTheDamageIsNamed) {
  const FileFormat format = GetParam();
  const std::string sound = WriteIn(format, DamageSample());
  const std::string database = std::string("cli_damaged_") + FormatTag(format);
  int number = 0;
  for (const DamageCase& c : Cases()) {
    SCOPED_TRACE(std::string(FormatName(format)) + ": " + c.name);
    DamagedFile file(sound);
    c.damage(file, format);
    const std::string path = (dir_ / ("damaged" + std::to_string(++number) + ".mdb")).string();
    std::ofstream(path, std::ios::binary) << file.Bytes();

    ShellRun converted = Run("convert", path, database, "--yes");
    if (c.runLoses) {
      EXPECT_EQ(converted.status, 1) << converted.errors;
      EXPECT_NE(converted.errors.find("not everything was converted"), std::string::npos)
          << converted.errors;
      EXPECT_NE(converted.errors.find(c.named), std::string::npos) << converted.errors;
      EXPECT_EQ(converted.errors.find("completed successfully"), std::string::npos)
          << converted.errors;
    } else {
      // The value is there: read as Access reads it, nothing was lost.
      EXPECT_EQ(converted.status, 0) << converted.errors;
    }

    ServerQuery query(server_, database);
    EXPECT_EQ(Count(query, "Orders"), c.ordersArriving);
    if (c.customersArriving == -1) {
      EXPECT_FALSE(TableExists(query, database, "Customers"));
    } else if (c.customersArriving == -2) {
      long arrived = Count(query, "Customers");
      EXPECT_GT(arrived, 0);
      EXPECT_LT(arrived, 200);
    } else {
      EXPECT_EQ(Count(query, "Customers"), c.customersArriving);
    }
    // What arrived is what the file holds: the undamaged table verifies
    // clean; a table whose damage is named is a difference for verify too.
    const bool ordersDamaged = c.named.find("[Orders]") != std::string::npos ||
                               c.named.find("long value points") != std::string::npos;
    const std::string clean = ordersDamaged ? "Customers" : "Orders";
    ShellRun verified = Run("verify", path, database, "--table " + clean);
    EXPECT_EQ(verified.status, c.catalogueDamaged ? 1 : 0) << verified.output << verified.errors;
    EXPECT_NE(verified.output.find(clean + ": "), std::string::npos) << verified.output;
    if (c.catalogueDamaged) {
      EXPECT_NE(verified.output.find("The file: The catalogue of the file's objects is damaged"),
                std::string::npos)
          << verified.output;
      EXPECT_NE(verified.output.find("; the file's catalogue is damaged\n"), std::string::npos)
          << verified.output;
    }
    if (c.runLoses) {
      ShellRun whole = Run("verify", path, database);
      EXPECT_EQ(whole.status, 1) << whole.output;
      EXPECT_TRUE(EveryDifferenceSaysWhat(whole.output)) << whole.output;
    }
  }
  ServerQuery(server_).Execute("DROP DATABASE IF EXISTS " + database);
}

INSTANTIATE_TEST_SUITE_P(Formats, DamagedConversion,
                         ::testing::Values(FileFormat::Jet3, FileFormat::Jet4, FileFormat::Ace),
                         [](const auto& info) { return std::string(FormatTag(info.param)); });

}  // namespace
}  // namespace bracken::testing
