// bracken-cli convert: converts an Access file into a MySQL database with the
// same engine the window uses, run by a console owner.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "cli/access_password.h"
#include "cli/cluster_refusal.h"
#include "cli/command.h"
#include "cli/command_arguments.h"
#include "cli/console_owner.h"
#include "cli/exit_status.h"
#include "cli/interrupt_watch.h"
#include "cli/row_keys.h"
#include "cli/secret_arguments.h"
#include "cli/server_options.h"
#include "cli/terminal_prompt.h"
#include "cli/verify_check.h"
#include "engine/catalog_source.h"
#include "engine/connect_messages.h"
#include "engine/conversion_run.h"
#include "engine/output/dump_executor.h"
#include "engine/output/lock_wait_watch.h"
#include "engine/output/statement_executor.h"
#include "engine/rows/ole_files.h"
#include "engine/schema/foreign_keys.h"
#include "engine/source_connection.h"
#include "engine/table_jobs.h"
#include "source/source_access.h"
#include "target/assumed_server.h"
#include "target/mysql_connection.h"
#include "target/secret_memory.h"

namespace bracken::cli {

namespace {

// Rows per INSERT unless --batch-rows says otherwise: past it a larger
// batch gains nothing measurable on a local server.
constexpr std::size_t kDefaultBatchRows = 1000;

// Tables copied at once unless --jobs says otherwise: one per core, up to
// four (past that the server's own work is the limit).
constexpr unsigned int kMostDefaultJobs = 4;

constexpr char kHelp[] =
    "Usage: bracken-cli convert FILE --host H --user U --database D [--password[=P]]\n"
    "                           [--mdb-password P] [--table T]... [--yes|--no]\n"
    "                           [--port N] [--socket PATH] [--ssl-mode MODE] [--ssl-ca FILE]\n"
    "                           [--connect-timeout N] [--verify]\n"
    "                           [--batch-rows N] [--batch-bytes N] [--row-by-row]\n"
    "                           [--no-load-data] [--jobs N]\n"
    "                           [--engine MyISAM|InnoDB] [--no-rules] [--no-queries]\n"
    "                           [--add-keys] [--ole-objects raw|files]\n"
    "       bracken-cli convert FILE --output PATH.sql|- --database D [--server-version V]\n"
    "                           [--mdb-password P] [--table T]... [--batch-rows N] "
    "[--row-by-row]\n"
    "                           [--engine MyISAM|InnoDB] [--no-rules] [--no-queries]\n"
    "                           [--add-keys] [--ole-objects raw|files]\n\n"
    "Converts the tables of an Access file into the MySQL database D on host H\n"
    "(ports 3306 to 3309 are tried in turn unless a port is given; \"localhost\"\n"
    "means the local socket). Without --table every table is converted.\n\n"
    "The MySQL password comes from --password=P, else the MYSQL_PWD environment\n"
    "variable, else a prompt on the terminal; --password alone (without '=')\n"
    "prompts too, as with the mysql client. The Access file's password comes from\n"
    "--mdb-password P, else BRACKEN_MDB_PASSWORD, else a prompt when the file asks\n"
    "for one. Without a terminal on standard input there is no prompt. Passwords\n"
    "given on the command line are replaced by *** in the process list at once,\n"
    "with a warning: others may have seen them already; the prompt, MYSQL_PWD and\n"
    "BRACKEN_MDB_PASSWORD keep them out of it. The program makes no core file.\n\n"
    "An existing database D is replaced only on --yes or when a terminal answers\n"
    "yes. When a statement waits on the server (for a lock another client holds,\n"
    "a table flush, a full disk, replicas or cluster nodes), a line says so.\n"
    "Ctrl-C stops after the current table (or breaks such a wait off); a second\n"
    "Ctrl-C, or SIGTERM, ends the program at once with the summary line.\n\n"
    "Rows go to the server many to an INSERT (up to --batch-rows N rows, default\n"
    "1000, and --batch-bytes N bytes, default 1048576, never more than the\n"
    "server's max_allowed_packet takes); the result, refused rows and the report\n"
    "included, is the same as with --row-by-row, which sends one INSERT per row\n"
    "as the window does.\n\n"
    "Against a server, each table's rows go in one LOAD DATA LOCAL INFILE,\n"
    "streamed from memory as they are read (no file is written); a table the\n"
    "server does not store exactly is emptied and sent again as INSERTs, so the\n"
    "result stays the same.\n"
    "A server that does not allow it (local_infile=OFF) gets the INSERTs, with\n"
    "one notice line; --no-load-data sends the INSERTs from the start.\n\n"
    "--jobs N copies up to N tables at once, each over a connection of its own\n"
    "(default: one per core, at most 4). Names, tables, report lines and summary\n"
    "are the same as with --jobs 1, which copies one table after another; the\n"
    "report follows the tables' order. A job whose connection is lost fails only\n"
    "its table and goes on with a new connection. Foreign keys and saved queries\n"
    "follow once every table is copied. A dump file (--output) is written by one\n"
    "job.\n\n"
    "--output PATH.sql writes the statements to the file (\"-\": standard output)\n"
    "instead of sending them; no server is contacted. `mariadb < PATH.sql` (or\n"
    "mysql) creates database D as a run with --yes would, replacing it. Server\n"
    "choices (collations, statement sizes) follow --server-version V, such as\n"
    "10.11, mariadb-10.4 or mysql-8.0 (default: mysql-5.7, the oldest server\n"
    "supported). The server may still refuse rows while loading; with\n"
    "--row-by-row, `mariadb --force` leaves out only those rows.\n\n"
    "Tables are created as MyISAM tables unless --engine InnoDB is given. Only\n"
    "InnoDB holds the file's enforced relationships: each becomes a foreign key,\n"
    "added after all rows have arrived, with the cascades Access applies. One\n"
    "whose rows name no parent row is named in the report instead and makes the\n"
    "run incomplete (a dump file leaves that check to the loading server); one\n"
    "whose other table is not converted, one Access does not enforce and, with\n"
    "MyISAM, every one are named in the report.\n\n"
    "--add-keys gives each table without a primary key one more column, an\n"
    "invisible BIGINT UNSIGNED AUTO_INCREMENT primary key named bracken_row_id\n"
    "(bracken_row_id_2, ... when the table has a column of that name), which the\n"
    "server numbers and SELECT * leaves out; the report names each such table,\n"
    "and verify and sync leave the column out. It needs MariaDB 10.3 or MySQL\n"
    "8.0.23 or later (for --output, such a --server-version); an older server\n"
    "refuses the run before anything is sent. On a cluster node (Galera, Group\n"
    "Replication) or a server that requires primary keys, the keys are added\n"
    "without --add-keys.\n\n"
    "Default values become DEFAULT clauses, validation rules CHECK constraints\n"
    "(added after the rows, and only when no row breaks them), descriptions\n"
    "COMMENTs, where the server can hold them; the report names each one it\n"
    "cannot. --no-rules leaves all three out.\n\n"
    "Saved queries become views (select and union queries) or procedures (queries\n"
    "with parameters, action queries, which run only when called), after all\n"
    "tables, named as tables are; the report names each one that cannot, with its\n"
    "Access SQL. --no-queries leaves them out.\n\n"
    "--ole-objects files stores each OLE Object value that holds a file (a\n"
    "picture, a PDF, an Office document, a packaged file) as that file's bytes,\n"
    "with two columns beside it: C_name, the file's name (the package's own, or\n"
    "one made from the column's name and the file's digest, with the extension\n"
    "of its kind) and C_type, its MIME type. Paint's bitmaps become .bmp files.\n"
    "A value that holds no file that can be taken out keeps its OLE container\n"
    "with NULL beside it; the report counts those per column. The default,\n"
    "--ole-objects raw, stores every value as Access holds it. A web page serves\n"
    "such a column as it is, for example in PHP:\n"
    "  $r = $db->query('SELECT Photo, Photo_name, Photo_type FROM Employees\n"
    "                   WHERE EmployeeID = 1')->fetch_row();\n"
    "  header('Content-Type: ' . $r[2]);\n"
    "  header('Content-Disposition: inline; filename=\"' . $r[1] . '\"');\n"
    "  echo $r[0];\n"
    "verify and sync take the same choice (--ole-objects files) as the conversion.\n\n"
    "--verify compares every chosen table with what arrived, as bracken-cli verify\n"
    "does, prints its verdicts to standard error and fails the run on a difference.\n\n"
    "Messages go to standard error. The last line on standard output sums up the\n"
    "run: \"D: k of N tables converted, r of s rows refused\", with what ended it\n"
    "early when something did.\n\n";

int DefaultJobs() {
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1U, kMostDefaultJobs));
}

struct Options : CommonArguments {
  OverwriteAnswer overwrite = OverwriteAnswer::Ask;
  bool verify = false;
  bool carryRules = true;    // defaults, CHECK constraints and comments
  bool carryQueries = true;  // saved queries as views and procedures
  engine::OleObjects oleObjects = engine::OleObjects::Raw;
  engine::RowBatching batching{kDefaultBatchRows, std::size_t{1} << 20, true};
  std::optional<std::string> output;  // a dump file instead of a server; "-" standard output
  std::optional<std::string> serverVersion;
  engine::TableEngine engine = engine::TableEngine::MyISAM;
  bool addKeys = false;  // an invisible key column for tables without a primary key
  int jobs = DefaultJobs();
};

std::size_t PositiveNumber(const std::string& option, const std::string& value) {
  std::size_t used = 0;
  unsigned long long number = 0;
  try {
    number = std::stoull(value, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != value.size() || number == 0 || value[0] == '-') {
    throw std::runtime_error(option + " takes a positive whole number, not '" + value + "'");
  }
  return static_cast<std::size_t>(number);
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  bool rowByRow = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (TakeCommonOption(args, i, options)) continue;
    if (arg == "--verify") {
      options.verify = true;
    } else if (TakeValue(args, i, "--batch-rows", value)) {
      options.batching.rows = PositiveNumber("--batch-rows", value);
    } else if (TakeValue(args, i, "--batch-bytes", value)) {
      options.batching.bytes = PositiveNumber("--batch-bytes", value);
    } else if (TakeValue(args, i, "--jobs", value)) {
      options.jobs = static_cast<int>(std::min<std::size_t>(PositiveNumber("--jobs", value), 64));
    } else if (TakeValue(args, i, "--engine", value)) {
      const auto chosen = engine::ParseTableEngine(value);
      if (!chosen) throw std::runtime_error("--engine takes MyISAM or InnoDB, not '" + value + "'");
      options.engine = *chosen;
    } else if (TakeValue(args, i, "--ole-objects", value)) {
      const auto chosen = engine::ParseOleObjects(value);
      if (!chosen)
        throw std::runtime_error("--ole-objects takes raw or files, not '" + value + "'");
      options.oleObjects = *chosen;
    } else if (arg == "--row-by-row") {
      rowByRow = true;
    } else if (arg == "--no-load-data") {
      options.batching.loadData = false;
    } else if (arg == "--no-rules") {
      options.carryRules = false;
    } else if (arg == "--no-queries") {
      options.carryQueries = false;
    } else if (arg == "--add-keys") {
      options.addKeys = true;
    } else if (TakeValue(args, i, "--output", value)) {
      options.output = value;
    } else if (TakeValue(args, i, "--server-version", value)) {
      options.serverVersion = value;
    } else if (arg == "--yes" || arg == "--no") {
      options.overwrite = arg == "--yes" ? OverwriteAnswer::Yes : OverwriteAnswer::No;
    } else {
      TakeFile(args, i, options);
    }
  }
  if (options.file.empty()) throw std::runtime_error("no Access file given");
  if (rowByRow) options.batching.rows = 1;
  if (rowByRow || options.output) options.batching.loadData = false;
  if (options.output) {
    if (options.database.empty()) throw std::runtime_error("--database is required");
    if (options.verify) throw std::runtime_error("--verify needs a server, not --output");
    if (!options.serverVersion) options.serverVersion = target::kOldestServerVersion;
    if (!target::AssumedServerTraits(*options.serverVersion)) {
      throw std::runtime_error(
          "--server-version takes a version such as 10.11, mariadb-10.4 or "
          "mysql-8.0, not '" +
          *options.serverVersion + "'");
    }
    return options;
  }
  if (options.serverVersion) throw std::runtime_error("--server-version goes with --output");
  if (options.host.empty() || options.user.empty() || options.database.empty()) {
    throw std::runtime_error("--host, --user and --database are required");
  }
  return options;
}

int ExitStatus(const engine::ConversionSummary& summary) {
  switch (summary.ending) {
    case engine::RunEnding::Completed:
      return summary.tablesConverted == summary.tablesChecked && !summary.Lost() ? kExitSuccess
                                                                                 : kExitIncomplete;
    case engine::RunEnding::Stopped:
    case engine::RunEnding::TableFailed:
    case engine::RunEnding::DatabaseDropped:
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
    case engine::RunEnding::CreateNotGranted:
      return "existing database kept: the login lacks the CREATE privilege on it";
    case engine::RunEnding::DatabaseDropped:
      return "database dropped and could not be created again";
    case engine::RunEnding::Stopped:
      return "stopped";
    case engine::RunEnding::TableFailed:
      return "ended by a failed table";
    case engine::RunEnding::Completed:
      break;
  }
  return nullptr;
}

// The one line on standard output, whatever the ending; `note` tells what
// ended the run when given, else the summary's ending does.
std::string SummaryLine(const std::string& database, const engine::ConversionSummary& summary,
                        const char* note = nullptr, const std::string& verifyNote = "") {
  std::ostringstream out;
  out << database << ": " << summary.tablesConverted << " of " << summary.tablesChecked
      << " tables converted";
  if (summary.tablesSkipped > 0) out << ", " << summary.tablesSkipped << " skipped";
  if (summary.tablesIncomplete > 0) {
    out << ", " << summary.tablesIncomplete << " cut short by a read error";
  }
  if (summary.tablesFailed > 0) out << ", " << summary.tablesFailed << " failed";
  if (summary.rowKeysAdded > 0) out << ", " << summary.rowKeysAdded << " given a key column";
  if (summary.partsUnread > 0) {
    out << ", " << summary.partsUnread << (summary.partsUnread == 1 ? " part" : " parts")
        << " of the file unreadable";
  }
  out << ", " << summary.rowsRefused << " of " << summary.rowsSent << " rows refused";
  if (summary.valuesChanged > 0) out << ", " << summary.valuesChanged << " values changed";
  out << verifyNote;
  if (note == nullptr) note = EndingNote(summary.ending);
  if (note != nullptr) out << "; " << note;
  out << "\n";
  return out.str();
}

// After a run against a server that was cut short (stopped, ended at once,
// a table failed): how to complete the copy without starting again.
constexpr const char* kCompleteWithSync =
    "The copy was cut short: bracken-cli sync with the same file, database and options "
    "completes it (the tables and rows still missing, and indexes left disabled).\n";

bool CutShort(const engine::ConversionSummary& summary) {
  return summary.ending == engine::RunEnding::Stopped ||
         summary.ending == engine::RunEnding::TableFailed || summary.tablesFailed > 0;
}

// Standard output without the stream, safe from the interrupt's thread.
void WriteOut(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// The run a Ctrl-C speaks to: its context once it exists, and what the
// summary line needs.
struct RunState {
  std::string database;
  std::atomic<engine::ConversionContext*> context{nullptr};
  std::atomic<ConsoleOwner*> owner{nullptr};
  int tablesChecked = 0;
  // Whether the run writes into a server, which sync can complete.
  bool toServer = false;
};

// Ends the program at once with the summary line so far.
[[noreturn]] void EndAtOnce(RunState& state, const char* note) {
  engine::ConversionSummary summary;
  summary.tablesChecked = state.tablesChecked;
  // A snapshot of the counts the worker (and its jobs) are still writing.
  if (engine::ConversionContext* context = state.context.load()) {
    summary = engine::EndingAtOnceSummary(*context);
  }
  if (ConsoleOwner* owner = state.owner.load()) owner->Note("");
  WriteOut(SummaryLine(state.database, summary, note));
  if (state.toServer &&
      ::write(STDERR_FILENO, kCompleteWithSync, std::strlen(kCompleteWithSync)) < 0) {
    std::_Exit(kExitIncomplete);
  }
  std::_Exit(kExitIncomplete);
}

// The first Ctrl-C asks the run to stop as STOP does, and keeps asking
// (the row copy clears the request as each table starts); the second, or
// SIGTERM at any time, ends the program at once with the summary line so far.
InterruptHooks Interrupts(RunState& state) {
  InterruptHooks hooks;
  hooks.first = [&state] {
    const char* text = "Stopping after the current table; press Ctrl-C again to end at once.";
    if (ConsoleOwner* owner = state.owner.load()) {
      owner->Note(text);
    } else {
      std::cerr << text << std::endl;
    }
  };
  hooks.tick = [&state] {
    if (engine::ConversionContext* context = state.context.load()) context->stopRequested = true;
  };
  hooks.second = [&state] { EndAtOnce(state, "ended at once by a second Ctrl-C"); };
  hooks.terminate = [&state] { EndAtOnce(state, "ended at once by SIGTERM"); };
  return hooks;
}

// The run under the Ctrl-C watch, which sees its context and owner while
// it lasts.
engine::ConversionSummary RunWatched(RunState& state, InterruptWatch& interrupts,
                                     ConsoleOwner& owner, engine::ConversionContext& context) {
  state.owner = &owner;
  context.stopRequested = interrupts.Interrupted();
  state.context = &context;
  engine::ConversionSummary summary;
  if (interrupts.Interrupted()) {
    // Ctrl-C while connecting: nothing was written.
    summary.tablesChecked = state.tablesChecked;
    summary.ending = engine::RunEnding::Stopped;
  } else {
    summary = engine::RunConversion(owner, context);
  }
  state.context = nullptr;
  state.owner = nullptr;
  return summary;
}

std::string UtcNow() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
  return text;
}

// The run into a dump file: the same engine, with an executor that writes
// the statements instead of sending them. The summary line goes to
// standard error when the statements take standard output.
int ConvertToDump(const Options& options, ChosenTables& access) {
  const bool toStandardOutput = *options.output == "-";
  const target::ServerTraits traits = *target::AssumedServerTraits(*options.serverVersion);
  const RowKeysChoice rowKeys = ChooseRowKeys(options.addKeys, target::ClusterTraits{}, traits);
  if (rowKeys.refusal) {
    std::cerr << "Message: " << *rowKeys.refusal << " Name a newer server with --server-version.\n";
    engine::ConversionSummary summary;
    summary.tablesChecked =
        static_cast<int>(std::count(access.checked.begin(), access.checked.end(), true));
    (toStandardOutput ? std::cerr : std::cout)
        << SummaryLine(options.database, summary, "--add-keys refused by the server") << std::flush;
    return kExitFailed;
  }
  std::ofstream file;
  if (!toStandardOutput) {
    file.open(*options.output, std::ios::binary | std::ios::trunc);
    if (!file) {
      std::cerr << "bracken-cli convert: cannot write " << EscapeControls(*options.output) << "\n";
      return kExitFailed;
    }
  }
  std::ostream& out = toStandardOutput ? std::cout : file;
  out << engine::DumpHeader(options.file, UtcNow(), traits);
  RunState state;
  state.database = options.database;
  state.tablesChecked =
      static_cast<int>(std::count(access.checked.begin(), access.checked.end(), true));
  InterruptWatch interrupts(Interrupts(state));
  engine::CatalogSource source(access.catalog, access.connectionText);
  engine::DumpStatementExecutor executor(out, traits,
                                         toStandardOutput ? "standard output" : *options.output);
  engine::ConversionContext context(executor, source);
  context.batching = options.batching;
  context.engine = options.engine;
  context.carryRules = options.carryRules;
  context.carryQueries = options.carryQueries;
  context.addRowKeys = rowKeys.add;
  context.oleObjects = options.oleObjects;
  ConsoleOwner owner(access.names, access.checked, options.database, OverwriteAnswer::Yes,
                     std::cerr, isatty(STDERR_FILENO) != 0, false);
  engine::ConversionSummary summary = RunWatched(state, interrupts, owner, context);
  out.flush();
  int status = ExitStatus(summary);
  if (!out && status == kExitSuccess) status = kExitFailed;
  (toStandardOutput ? std::cerr : std::cout)
      << SummaryLine(options.database, summary) << std::flush;
  return status;
}

// What a job needs to open a session as the run's own: the login, the
// options with the port the run's session found, and the file's connection
// text (with its password, when it has one).
struct JobLogin {
  std::string host, user, password;
  target::ConnectOptions options;
  std::string connectionText;
};

// A job's session: a connection of its own (the same character set and
// sql_mode as the run's), under a lock-wait watch of its own, and the file
// opened again.
class ServerJobSession : public engine::JobSession {
 public:
  static std::unique_ptr<engine::JobSession> Open(const JobLogin& login) {
    source::Catalog catalog;
    try {
      catalog.SetActiveConnection(login.connectionText);
    } catch (const source::SourceError&) {
      return nullptr;
    }
    auto session = std::make_unique<ServerJobSession>(login, std::move(catalog));
    if (session->connection_.Connect(login.host, login.user, login.password, login.options) !=
        target::MySqlConnection::ConnectResult::Connected) {
      return nullptr;
    }
    return session;
  }

  ServerJobSession(const JobLogin& login, source::Catalog catalog)
      : probe_(login.host, login.user, login.password, login.options),
        source_(std::move(catalog), login.connectionText) {}

  engine::StatementExecutor& Executor() override { return watch_; }
  engine::ConversionSource& Source() override { return source_; }
  void Attach(engine::ConversionOwner& owner, engine::ConversionContext& context) override {
    watch_.Attach(owner, context);
  }

 private:
  target::MySqlConnection connection_;
  engine::MySqlStatementExecutor executor_{connection_};
  engine::ServerLockProbe probe_;
  engine::LockWaitWatch watch_{executor_, probe_};
  engine::CatalogSource source_;
};

int Convert(const std::vector<std::string>& args) {
  Options options;
  target::ConnectOptions connectOptions;
  try {
    options = ParseOptions(args);
    connectOptions = ResolveServerOptions(options.server);
  } catch (const std::exception& error) {
    std::cerr << "bracken-cli convert: " << error.what() << "\n"
              << kHelp << kServerOptionsHelp << kExitStatusHelp;
    return kExitUsage;
  }

  // The file first: a file that cannot be opened needs no server.
  ChosenTables file;
  std::optional<std::string> mdbPassword = GivenAccessPassword(options.mdbPassword);
  const auto failed = OpenAndChoose("convert", options.file, mdbPassword, options.tables, file);
  // The file is open (the connection text keeps what reopening it needs).
  target::WipeSecret(mdbPassword);
  target::WipeSecret(options.mdbPassword);
  if (failed) return *failed;

  if (options.output) return ConvertToDump(options, file);

  std::string password;
  try {
    password = MySqlPassword(options.password, options.promptPassword);
  } catch (const std::exception& error) {
    std::cerr << "bracken-cli convert: " << error.what() << "\n";
    return kExitUsage;
  }

  RunState state;
  state.database = options.database;
  state.toServer = true;
  state.tablesChecked =
      static_cast<int>(std::count(file.checked.begin(), file.checked.end(), true));
  InterruptWatch interrupts(Interrupts(state));
  target::MySqlConnection connection;
  const auto connected = connection.Connect(options.host, options.user, password, connectOptions);
  target::WipeSecret(options.password);
  if (connected != target::MySqlConnection::ConnectResult::Connected) {
    target::WipeSecret(password);
    const bool session = connected == target::MySqlConnection::ConnectResult::SessionRefused;
    std::cerr << "Message: "
              << EscapeControls(session ? engine::SessionRefusedMessage(connection.ErrorText())
                                        : engine::kConnectFailureMessage,
                                true)
              << "\n";
    return kExitFailed;
  }
  // MyISAM tables on a cluster node would reach no other node, and
  // --add-keys needs a server that takes invisible columns: refused before
  // anything is sent. A server that does not say whether it is a cluster
  // node is taken for a single server.
  const target::ClusterTraits cluster =
      target::ReadClusterTraits(connection).value_or(target::ClusterTraits{});
  const RowKeysChoice rowKeys = ChooseRowKeys(options.addKeys, cluster, connection.Traits());
  std::optional<std::string> refusal;
  const char* refusalNote = nullptr;
  if (options.engine == engine::TableEngine::MyISAM) {
    refusal = MyIsamOnClusterRefusal(cluster, "Convert");
    refusalNote = "MyISAM refused on a cluster node";
  }
  if (!refusal && rowKeys.refusal) {
    refusal = rowKeys.refusal;
    refusalNote = "--add-keys refused by the server";
  }
  if (refusal) {
    target::WipeSecret(password);
    target::WipeSecret(file.connectionText);
    std::cerr << "Message: " << EscapeControls(*refusal, true) << "\n" << std::flush;
    engine::ConversionSummary summary;
    summary.tablesChecked = state.tablesChecked;
    std::cout << SummaryLine(options.database, summary, refusalNote) << std::flush;
    return kExitFailed;
  }

  engine::CatalogSource source(file.catalog, file.connectionText);
  target::WipeSecret(file.connectionText);
  engine::MySqlStatementExecutor executor(connection);
  target::ConnectOptions probeOptions = connectOptions;
  probeOptions.port = connection.ConnectedPort();
  // The jobs keep what opening their sessions takes until the run ends.
  JobLogin jobLogin;
  if (options.jobs > 1) {
    jobLogin =
        JobLogin{options.host, options.user, password, probeOptions, source.connectionText()};
  }
  // The probe keeps the one copy its second session needs.
  engine::ServerLockProbe probe(options.host, options.user, std::move(password), probeOptions);
  target::WipeSecret(password);
  engine::LockWaitWatch watch(executor, probe);
  engine::ConversionContext context(watch, source);
  context.batching = options.batching;
  if (cluster.IsCluster()) {
    context.batching.BoundWriteSets(cluster.WriteSetRowLimit(), cluster.WriteSetByteLimit());
  }
  context.engine = options.engine;
  context.carryRules = options.carryRules;
  context.carryQueries = options.carryQueries;
  context.addRowKeys = rowKeys.add;
  context.oleObjects = options.oleObjects;
  context.jobs = options.jobs;
  if (options.jobs > 1) context.openJob = [&jobLogin] { return ServerJobSession::Open(jobLogin); };
  ConsoleOwner owner(file.names, file.checked, options.database, options.overwrite, std::cerr,
                     isatty(STDERR_FILENO) != 0, isatty(STDIN_FILENO) != 0);
  watch.Attach(owner, context);
  if (rowKeys.notice) owner.Note(*rowKeys.notice);
  engine::ConversionSummary summary = RunWatched(state, interrupts, owner, context);
  target::WipeSecret(jobLogin.password);
  target::WipeSecret(jobLogin.connectionText);
  int status = ExitStatus(summary);
  std::string verifyNote;
  if (options.verify && status != kExitFailed && !interrupts.Interrupted()) {
    engine::VerifySummary verified = VerifyAndPrint(
        source, CheckedTables(file.names, file.checked), connection, options.database, std::cerr,
        engine::VerifyChoices{options.carryRules, options.carryQueries, options.oleObjects});
    verifyNote = VerifyNote(verified);
    if (!verified.AllIdentical()) status = kExitIncomplete;
  }
  std::cout << SummaryLine(options.database, summary, nullptr, verifyNote) << std::flush;
  if (CutShort(summary)) std::cerr << kCompleteWithSync << std::flush;
  return status;
}

const CommandRegistration kRegistration({"convert", "Convert an Access file into a MySQL database",
                                         std::string(kHelp) + kServerOptionsHelp + kExitStatusHelp,
                                         Convert});

}  // namespace

}  // namespace bracken::cli
