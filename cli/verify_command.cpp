// bracken-cli verify: compares the tables of an Access file with what a
// conversion left in MySQL, cell by cell, and prints a verdict per table.

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "cli/access_password.h"
#include "cli/command.h"
#include "cli/command_arguments.h"
#include "cli/exit_status.h"
#include "cli/server_options.h"
#include "cli/terminal_prompt.h"
#include "cli/verify_check.h"
#include "engine/catalog_source.h"
#include "engine/rows/ole_files.h"
#include "engine/source_connection.h"
#include "source/source_access.h"
#include "target/mysql_connection.h"
#include "target/secret_memory.h"
#include "target/server_cluster.h"

namespace bracken::cli {

namespace {

constexpr char kHelp[] =
    "Usage: bracken-cli verify FILE --host H --user U --database D [--password[=P]]\n"
    "                          [--mdb-password P] [--table T]... [--port N] [--socket PATH]\n"
    "                          [--ssl-mode MODE] [--ssl-ca FILE] [--connect-timeout N]\n"
    "                          [--no-rules] [--no-queries] [--ole-objects raw|files]\n\n"
    "Compares the tables of an Access file with the MySQL database D that a\n"
    "conversion made of it. Each Access value is put through the conversion's\n"
    "own rules (a null text becomes '', hyperlinks keep their display text,\n"
    "renamed tables and columns, NaN stored as NULL, ...) and compared with the\n"
    "server's: integers and decimals exactly, Single as a 32-bit and Double as a\n"
    "64-bit float, dates to the second, text and bytes byte for byte. Rows pair by\n"
    "the primary key, or as a multiset of row digests where there is none.\n"
    "Without --table every table is verified. The passwords are found as for\n"
    "convert (--password=P, MYSQL_PWD, a prompt on the terminal; --mdb-password P,\n"
    "BRACKEN_MDB_PASSWORD, a prompt when the file asks for one).\n\n"
    "Each table's verdict goes to standard output, for example\n"
    "  Orders: 830 rows identical\n"
    "  Customers: 2 differences (91 rows in the file, 91 in MySQL)\n"
    "    row CustomerID='ALFKI': column [City] is 'Berlin' in the file, 'Bern' in MySQL\n"
    "    row CustomerID='WOLZA' is missing in MySQL\n"
    "with at most 20 differences shown per table, then the count of the rest.\n"
    "When the file has defaults, validation rules, descriptions or relationships,\n"
    "a schema section follows with one line per table: its defaults, CHECK\n"
    "constraints, comments, character sets, nullability and foreign keys as the\n"
    "conversion plans them, for example\n"
    "  Orders: schema as planned\n"
    "  Customers: schema differs: column [City] has no default in MySQL, the plan has 'Bern'\n"
    "A rule that rows break, a relationship whose rows name no parent and every\n"
    "foreign key of a MyISAM table are expected absent, and the line says so.\n"
    "--no-rules verifies a copy converted with --no-rules: it expects no\n"
    "defaults, CHECK constraints or comments.\n"
    "When the file has saved queries, a line per query follows: its view runs\n"
    "(SELECT * ... LIMIT 0) or its procedure is there, or it is one the conversion\n"
    "names as not converted, which is no difference. --no-queries leaves them out\n"
    "(for a copy made with convert --no-queries). --ole-objects files verifies a\n"
    "copy made with convert --ole-objects files: each OLE Object column holds the\n"
    "file taken out of its value (or the container where none can be), and its\n"
    "C_name and C_type columns the file's name and MIME type.\n"
    "The last line sums up: \"D: n tables verified, k identical, m with differences\",\n"
    "with \"; schema: j of n tables as planned\" after a schema section and\n"
    "\"; queries: q of r as converted\" after the queries.\n\n"
    "Exit status:\n"
    "  0  every table is identical (and its schema as planned)\n"
    "  1  something differs: a value, a row, a column or a table missing in MySQL,\n"
    "     or a part of a table's schema\n"
    "  2  usage error: bad options, an unknown table, or no password and no terminal\n"
    "  3  the Access file or the server could not be opened\n";

struct Options : CommonArguments {
  engine::VerifyChoices choices;
};

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (TakeCommonOption(args, i, options)) continue;
    if (args[i] == "--no-rules") {
      options.choices.rules = false;
    } else if (args[i] == "--no-queries") {
      options.choices.queries = false;
    } else if (std::string value; TakeValue(args, i, "--ole-objects", value)) {
      const auto chosen = engine::ParseOleObjects(value);
      if (!chosen)
        throw std::runtime_error("--ole-objects takes raw or files, not '" + value + "'");
      options.choices.oleObjects = *chosen;
    } else {
      TakeFile(args, i, options);
    }
  }
  if (options.file.empty()) throw std::runtime_error("no Access file given");
  if (options.host.empty() || options.user.empty() || options.database.empty()) {
    throw std::runtime_error("--host, --user and --database are required");
  }
  return options;
}

int Verify(const std::vector<std::string>& args) {
  Options options;
  target::ConnectOptions connectOptions;
  try {
    options = ParseOptions(args);
    connectOptions = ResolveServerOptions(options.server);
  } catch (const std::exception& error) {
    std::cerr << "bracken-cli verify: " << error.what() << "\n" << kHelp << kServerOptionsHelp;
    return kExitUsage;
  }

  // The file first: a file that cannot be opened needs no server.
  ChosenTables file;
  std::optional<std::string> mdbPassword = GivenAccessPassword(options.mdbPassword);
  const auto failed = OpenAndChoose("verify", options.file, mdbPassword, options.tables, file);
  // The file is open (the connection text keeps what reopening it needs).
  target::WipeSecret(mdbPassword);
  target::WipeSecret(options.mdbPassword);
  if (failed) return *failed;

  std::string password;
  try {
    password = MySqlPassword(options.password, options.promptPassword);
  } catch (const std::exception& error) {
    std::cerr << "bracken-cli verify: " << error.what() << "\n";
    return kExitUsage;
  }
  target::MySqlConnection connection;
  const bool connected = connection.Connect(options.host, options.user, password, connectOptions) ==
                         target::MySqlConnection::ConnectResult::Connected;
  target::WipeSecret(password);
  target::WipeSecret(options.password);
  if (!connected) {
    std::cerr << "bracken-cli verify: cannot connect to MySQL: "
              << EscapeControls(connection.ErrorText()) << "\n";
    return kExitFailed;
  }

  // A node of a cluster may not yet have applied the last writes made
  // through another node: its reads wait for them.
  if (const auto cluster = target::ReadClusterTraits(connection)) {
    target::ReadCausally(connection, *cluster);
  }

  engine::CatalogSource source(file.catalog, file.connectionText);
  target::WipeSecret(file.connectionText);
  engine::VerifySummary summary =
      VerifyAndPrint(source, CheckedTables(file.names, file.checked), connection, options.database,
                     std::cout, options.choices);
  std::cout << engine::VerifySummaryLine(options.database, summary) << std::endl;
  return summary.AllIdentical() ? kExitSuccess : kExitIncomplete;
}

const CommandRegistration kRegistration({"verify",
                                         "Compare an Access file with its MySQL copy, cell by cell",
                                         kHelp, Verify});

}  // namespace

}  // namespace bracken::cli
