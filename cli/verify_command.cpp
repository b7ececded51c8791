// bracken-cli verify: compares the tables of an Access file with what a
// conversion left in MySQL, cell by cell, and prints a verdict per table.

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "cli/command.h"
#include "cli/exit_status.h"
#include "cli/verify_check.h"
#include "engine/catalog_source.h"
#include "engine/source_connection.h"
#include "source/source_access.h"
#include "target/mysql_connection.h"

namespace bracken::cli {

namespace {

constexpr char kHelp[] =
    "Usage: bracken-cli verify FILE --host H --user U --database D [--password[=P]]\n"
    "                          [--mdb-password P] [--port N] [--socket PATH] [--table T]...\n\n"
    "Compares the tables of an Access file with the MySQL database D that a\n"
    "conversion made of it. Each Access value is put through the conversion's\n"
    "own rules (a null text becomes '', hyperlinks keep their display text,\n"
    "renamed tables and columns, NaN stored as NULL, ...) and compared with the\n"
    "server's: integers and decimals exactly, Single as a 32-bit and Double as a\n"
    "64-bit float, dates to the second, text and bytes byte for byte. Rows pair by\n"
    "the primary key, or as a multiset of row digests where there is none.\n"
    "Without --table every table is verified. The password is found as for\n"
    "convert (--password=P, MYSQL_PWD, a prompt on the terminal).\n\n"
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
  std::string file, host, user, database, mdbPassword;
  std::optional<std::string> password;
  bool promptPassword = false;
  std::vector<std::string> tables;
  target::ConnectOptions connect;
};

// "--name=value" or "--name value".
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               std::string& value) {
  const std::string& arg = args[i];
  if (arg.rfind(name + "=", 0) == 0) {
    value = arg.substr(name.size() + 1);
    return true;
  }
  if (arg != name) return false;
  if (i + 1 >= args.size()) throw std::runtime_error(name + " needs a value");
  value = args[++i];
  return true;
}

unsigned int Port(const std::string& text) {
  char* end = nullptr;
  const unsigned long port = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || port == 0 || port > 65535) {
    throw std::runtime_error("--port needs a number from 1 to 65535");
  }
  return static_cast<unsigned int>(port);
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (TakeValue(args, i, "--host", options.host) || TakeValue(args, i, "--user", options.user) ||
        TakeValue(args, i, "--database", options.database) ||
        TakeValue(args, i, "--mdb-password", options.mdbPassword) ||
        TakeValue(args, i, "--socket", options.connect.socket)) {
      continue;
    }
    if (TakeValue(args, i, "--table", value)) {
      options.tables.push_back(value);
    } else if (TakeValue(args, i, "--port", value)) {
      options.connect.port = Port(value);
    } else if (arg == "--password") {
      options.promptPassword = true;
    } else if (arg.rfind("--password=", 0) == 0) {
      options.password = arg.substr(11);
    } else if (arg.rfind("--", 0) == 0 || !options.file.empty()) {
      throw std::runtime_error("unexpected argument '" + arg + "'");
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

// Reads a line from the terminal with echo off, as the mysql client does.
std::string PromptPassword() {
  int fd = ::open("/dev/tty", O_RDWR);
  if (fd < 0) throw std::runtime_error("no terminal to ask the MySQL password on");
  const char prompt[] = "Enter password: ";
  [[maybe_unused]] auto written = ::write(fd, prompt, sizeof prompt - 1);
  termios saved{};
  bool restore = tcgetattr(fd, &saved) == 0;
  if (restore) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(fd, TCSANOW, &quiet);
  }
  std::string password;
  char c;
  while (::read(fd, &c, 1) == 1 && c != '\n') password += c;
  if (restore) tcsetattr(fd, TCSANOW, &saved);
  written = ::write(fd, "\n", 1);
  ::close(fd);
  return password;
}

std::string MySqlPassword(const Options& options) {
  if (options.password) return *options.password;
  if (!options.promptPassword) {
    if (const char* environment = std::getenv("MYSQL_PWD")) return environment;
  }
  if (isatty(STDIN_FILENO) == 0) {
    throw std::runtime_error(
        "no MySQL password: standard input is not a terminal, so give --password=P or set "
        "MYSQL_PWD");
  }
  return PromptPassword();
}

int Verify(const std::vector<std::string>& args) {
  Options options;
  std::string password;
  try {
    options = ParseOptions(args);
    password = MySqlPassword(options);
  } catch (const std::exception& error) {
    std::cerr << "bracken-cli verify: " << error.what() << "\n";
    if (options.file.empty() || options.database.empty()) std::cerr << kHelp;
    return kExitUsage;
  }

  target::MySqlConnection connection;
  if (connection.Connect(options.host, options.user, password, options.connect) !=
      target::MySqlConnection::ConnectResult::Connected) {
    std::cerr << "bracken-cli verify: cannot connect to MySQL: " << connection.ErrorText() << "\n";
    return kExitFailed;
  }

  const std::string connectionText = engine::BuildConnectionText(options.file, options.mdbPassword);
  source::Catalog catalog;
  std::vector<std::string> names;
  try {
    catalog.SetActiveConnection(connectionText);
    names = engine::ListTableNames(catalog);
  } catch (const source::SourceError& error) {
    std::cerr << "Message: " << engine::ClassifyOpenFailure(error.Description()) << "\n";
    return kExitFailed;
  }

  std::vector<bool> checked(names.size(), options.tables.empty());
  for (const std::string& wanted : options.tables) {
    auto found = std::find(names.begin(), names.end(), wanted);
    if (found == names.end()) {
      std::cerr << "bracken-cli verify: no table '" << wanted << "' in " << options.file << "\n";
      return kExitUsage;
    }
    checked[static_cast<std::size_t>(found - names.begin())] = true;
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
