// bracken-cli convert: converts an Access file into a MySQL database with the
// same engine the window uses, run by a console owner.

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "cli/command.h"
#include "cli/console_owner.h"
#include "cli/exit_status.h"
#include "cli/verify_check.h"
#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/source_connection.h"
#include "engine/statement_executor.h"
#include "source/source_access.h"
#include "target/mysql_connection.h"

namespace bracken::cli {

namespace {

constexpr char kHelp[] =
    "Usage: bracken-cli convert FILE --host H --user U --database D [--password[=P]]\n"
    "                           [--mdb-password P] [--table T]... [--yes|--no] [--verify]\n\n"
    "Converts the tables of an Access file into the MySQL database D on host H\n"
    "(ports 3306 to 3309 are tried in turn; \"localhost\" means the local socket).\n"
    "Without --table every table is converted. The MySQL password comes from\n"
    "--password=P, else the MYSQL_PWD environment variable, else a prompt on the\n"
    "terminal (--password alone prompts too); without a terminal on standard\n"
    "input there is no prompt. An existing database D is replaced only on --yes\n"
    "or when a terminal answers yes. Ctrl-C stops after the current table.\n"
    "--verify compares every chosen table with what arrived, as bracken-cli verify\n"
    "does, prints its verdicts to standard error and fails the run on a difference.\n\n"
    "Messages go to standard error. The last line on standard output sums up the\n"
    "run: \"D: k of N tables converted, r of s rows refused\", with what ended it\n"
    "early when something did.\n\n";

struct Options {
  std::string file, host, user, database, mdbPassword;
  std::optional<std::string> password;
  bool promptPassword = false;
  std::vector<std::string> tables;
  OverwriteAnswer overwrite = OverwriteAnswer::Ask;
  bool verify = false;
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

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (TakeValue(args, i, "--host", options.host) || TakeValue(args, i, "--user", options.user) ||
        TakeValue(args, i, "--database", options.database) ||
        TakeValue(args, i, "--mdb-password", options.mdbPassword)) {
      continue;
    }
    if (TakeValue(args, i, "--table", value)) {
      options.tables.push_back(value);
    } else if (arg == "--password") {
      options.promptPassword = true;
    } else if (arg.rfind("--password=", 0) == 0) {
      options.password = arg.substr(11);
    } else if (arg == "--verify") {
      options.verify = true;
    } else if (arg == "--yes" || arg == "--no") {
      options.overwrite = arg == "--yes" ? OverwriteAnswer::Yes : OverwriteAnswer::No;
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
  // A script must never hang on a prompt nobody sees.
  if (isatty(STDIN_FILENO) == 0) {
    throw std::runtime_error(
        "no MySQL password: standard input is not a terminal, so give --password=P or set "
        "MYSQL_PWD");
  }
  return PromptPassword();
}

std::atomic<bool>* stopFlag = nullptr;

// The first Ctrl-C asks the run to stop after the current table; a second
// one ends the program at once.
void OnInterrupt(int) {
  if (stopFlag != nullptr) stopFlag->store(true);
  std::signal(SIGINT, SIG_DFL);
}

int ExitStatus(const engine::ConversionSummary& summary) {
  switch (summary.ending) {
    case engine::RunEnding::Completed:
      return summary.tablesConverted == summary.tablesChecked && !summary.Lost() ? kExitSuccess
                                                                                 : kExitIncomplete;
    case engine::RunEnding::Stopped:
    case engine::RunEnding::TableFailed:
      return kExitIncomplete;
    default:
      return kExitFailed;
  }
}

// What ended a run before its natural end, for the summary line.
const char* EndingNote(engine::RunEnding ending) {
  switch (ending) {
    case engine::RunEnding::NoTableChecked:
      return "no table to convert";
    case engine::RunEnding::NameEmpty:
      return "no database name";
    case engine::RunEnding::NameTooLong:
      return "database name too long";
    case engine::RunEnding::NameReserved:
      return "database name reserved by the server";
    case engine::RunEnding::OverwriteDeclined:
      return "existing database kept";
    case engine::RunEnding::DatabaseRefused:
      return "database refused by the server";
    case engine::RunEnding::Stopped:
      return "stopped";
    case engine::RunEnding::TableFailed:
      return "ended by a failed table";
    case engine::RunEnding::Completed:
      break;
  }
  return nullptr;
}

// One line on standard output, whatever the ending.
void PrintSummary(const std::string& database, const engine::ConversionSummary& summary,
                  const std::string& verifyNote) {
  std::cout << database << ": " << summary.tablesConverted << " of " << summary.tablesChecked
            << " tables converted";
  if (summary.tablesSkipped > 0) std::cout << ", " << summary.tablesSkipped << " skipped";
  if (summary.tablesIncomplete > 0) {
    std::cout << ", " << summary.tablesIncomplete << " cut short by a read error";
  }
  if (summary.tablesFailed > 0) std::cout << ", " << summary.tablesFailed << " failed";
  std::cout << ", " << summary.rowsRefused << " of " << summary.rowsSent << " rows refused";
  if (summary.valuesChanged > 0) std::cout << ", " << summary.valuesChanged << " values changed";
  std::cout << verifyNote;
  if (const char* note = EndingNote(summary.ending)) std::cout << "; " << note;
  std::cout << std::endl;
}

int Convert(const std::vector<std::string>& args) {
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const std::exception& error) {
    std::cerr << "bracken-cli convert: " << error.what() << "\n" << kHelp << kExitStatusHelp;
    return kExitUsage;
  }

  target::MySqlConnection connection;
  std::string password;
  try {
    password = MySqlPassword(options);
  } catch (const std::exception& error) {
    std::cerr << "bracken-cli convert: " << error.what() << "\n";
    return kExitUsage;
  }
  if (connection.Connect(options.host, options.user, password) !=
      target::MySqlConnection::ConnectResult::Connected) {
    std::cerr << "Message: There is an error to connect with MySQL. Please check your input "
                 "parameters or server configuration.\n";
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
      std::cerr << "bracken-cli convert: no table '" << wanted << "' in " << options.file << "\n";
      return kExitUsage;
    }
    checked[static_cast<std::size_t>(found - names.begin())] = true;
  }

  engine::CatalogSource source(catalog, connectionText);
  engine::MySqlStatementExecutor executor(connection);
  engine::ConversionContext context(executor, source);
  ConsoleOwner owner(names, checked, options.database, options.overwrite, std::cerr,
                     isatty(STDERR_FILENO) != 0, isatty(STDIN_FILENO) != 0);
  stopFlag = &context.stopRequested;
  std::signal(SIGINT, OnInterrupt);
  engine::ConversionSummary summary = engine::RunConversion(owner, context);
  std::signal(SIGINT, SIG_DFL);
  stopFlag = nullptr;
  int status = ExitStatus(summary);
  std::string verifyNote;
  if (options.verify && status != kExitFailed) {
    engine::VerifySummary verified = VerifyAndPrint(source, CheckedTables(names, checked),
                                                    connection, options.database, std::cerr);
    verifyNote = VerifyNote(verified);
    if (!verified.AllIdentical()) status = kExitIncomplete;
  }
  PrintSummary(options.database, summary, verifyNote);
  return status;
}

const CommandRegistration kRegistration({"convert", "Convert an Access file into a MySQL database",
                                         std::string(kHelp) + kExitStatusHelp, Convert});

}  // namespace

}  // namespace bracken::cli
