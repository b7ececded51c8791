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
#include "engine/source_connection.h"
#include "source/source_access.h"
#include "target/mysql_connection.h"

namespace bracken::cli {

namespace {

constexpr char kHelp[] =
    "Usage: bracken-cli verify FILE --host H --user U --database D [--password[=P]]\n"
    "                          [--mdb-password P] [--table T]... [--port N] [--socket PATH]\n"
    "                          [--ssl-mode MODE] [--ssl-ca FILE] [--connect-timeout N]\n\n"
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
    "The last line sums up: \"D: n tables verified, k identical, m with differences\".\n\n"
    "Exit status:\n"
    "  0  every table is identical\n"
    "  1  something differs: a value, a row, a column or a table missing in MySQL\n"
    "  2  usage error: bad options, an unknown table, or no password and no terminal\n"
    "  3  the Access file or the server could not be opened\n";

struct Options {
  std::string file, host, user, database;
  std::optional<std::string> password, mdbPassword;
  bool promptPassword = false;
  std::vector<std::string> tables;
  ServerOptions server;
};

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (TakeValue(args, i, "--host", options.host) || TakeValue(args, i, "--user", options.user) ||
        TakeValue(args, i, "--database", options.database) ||
        TakeServerOption(args, i, options.server)) {
      continue;
    }
    if (TakeValue(args, i, "--mdb-password", value)) {
      options.mdbPassword = value;
    } else if (TakeValue(args, i, "--table", value)) {
      options.tables.push_back(value);
    } else if (arg == "--password") {
      options.promptPassword = true;
    } else if (arg.rfind("--password=", 0) == 0) {
      options.password = arg.substr(11);
    } else if (arg.rfind("--", 0) == 0 || !options.file.empty()) {
      Unexpected(args, i);
    } else {
      options.file = arg;
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
  if (auto failed = OpenAndChoose("verify", options.file, GivenAccessPassword(options.mdbPassword),
                                  options.tables, file)) {
    return *failed;
  }
  source::Catalog& catalog = file.catalog;
  const std::string& connectionText = file.connectionText;
  const std::vector<std::string>& names = file.names;
  const std::vector<bool>& checked = file.checked;

  std::string password;
  try {
    password = MySqlPassword(options.password, options.promptPassword);
  } catch (const std::exception& error) {
    std::cerr << "bracken-cli verify: " << error.what() << "\n";
    return kExitUsage;
  }
  target::MySqlConnection connection;
  if (connection.Connect(options.host, options.user, password, connectOptions) !=
      target::MySqlConnection::ConnectResult::Connected) {
    std::cerr << "bracken-cli verify: cannot connect to MySQL: "
              << EscapeControls(connection.ErrorText()) << "\n";
    return kExitFailed;
  }

  engine::CatalogSource source(catalog, connectionText);
  engine::VerifySummary summary = VerifyAndPrint(source, CheckedTables(names, checked), connection,
                                                 options.database, std::cout);
  std::cout << engine::VerifySummaryLine(options.database, summary) << std::endl;
  return summary.AllIdentical() ? kExitSuccess : kExitIncomplete;
}

const CommandRegistration kRegistration({"verify",
                                         "Compare an Access file with its MySQL copy, cell by cell",
                                         kHelp, Verify});

}  // namespace

}  // namespace bracken::cli
