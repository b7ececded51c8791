// bracken-cli sync: brings a MySQL copy made by convert in line with its
// Access file again, changing only what differs, and prints a line per table.

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/access_password.h"
#include "cli/cluster_refusal.h"
#include "cli/command.h"
#include "cli/command_arguments.h"
#include "cli/console_owner.h"
#include "cli/exit_status.h"
#include "cli/interrupt_watch.h"
#include "cli/row_keys.h"
#include "cli/server_options.h"
#include "cli/terminal_prompt.h"
#include "cli/verify_check.h"
#include "engine/catalog_source.h"
#include "engine/connect_messages.h"
#include "engine/output/statement_executor.h"
#include "engine/rows/ole_files.h"
#include "engine/rows/value_literal.h"
#include "engine/run_report.h"
#include "engine/schema/foreign_keys.h"
#include "engine/source_connection.h"
#include "engine/sync/sync_run.h"
#include "source/source_access.h"
#include "target/mysql_connection.h"
#include "target/secret_memory.h"
#include "target/server_cluster.h"

namespace bracken::cli {

namespace {

// Rows per INSERT for the tables sync creates or rebuilds, as convert sends them.
constexpr std::size_t kBatchRows = 1000;

constexpr char kHelp[] =
    "Usage: bracken-cli sync FILE --host H --user U --database D [--password[=P]]\n"
    "                       [--mdb-password P] [--table T]... [--port N] [--socket PATH]\n"
    "                       [--ssl-mode MODE] [--ssl-ca FILE] [--connect-timeout N]\n"
    "                       [--dry-run] [--delete-tables] [--force]\n"
    "                       [--engine MyISAM|InnoDB] [--no-rules] [--no-queries]\n"
    "                       [--add-keys] [--ole-objects raw|files]\n\n"
    "Brings the MySQL database D, made from the Access file by convert, in line\n"
    "with the file as it is now, changing only what differs; a copy in step\n"
    "gets no write statement at all. Each Access value is put through the\n"
    "conversion's own rules and compared as verify compares it.\n\n"
    "  A table with a primary key: rows missing in MySQL are inserted, rows that\n"
    "  differ have only their differing columns updated, rows no longer in the\n"
    "  file are deleted.\n"
    "  A table without a key is replaced whole when its rows differ.\n"
    "  A table in the file but not in MySQL is created and converted as convert\n"
    "  does; one whose columns no longer match the file (a column added, dropped\n"
    "  or retyped in Access) is dropped and converted again whole, never altered\n"
    "  halfway.\n"
    "  Tables in MySQL that the file no longer has are named and left alone;\n"
    "  --delete-tables drops them (only when no --table is given).\n\n"
    "A conversion cut short (Ctrl-C, a lost connection, killed) is completed by a\n"
    "sync with the same file: the table it was copying gets its missing rows (a\n"
    "MyISAM table its disabled indexes back), the tables it never reached are\n"
    "created and converted.\n\n"
    "The changes of an InnoDB table go in one transaction, so a table that fails\n"
    "stays as it was. Rows the server refuses are reported as convert reports them.\n"
    "Ctrl-C stops after the current table; a second Ctrl-C, or SIGTERM, ends at\n"
    "once (the server undoes an InnoDB table's open changes; a later sync\n"
    "completes the rest).\n"
    "New tables take InnoDB when the database has an InnoDB table, else the\n"
    "--engine given (MyISAM by default). --no-rules creates them without\n"
    "defaults, CHECK constraints and comments, as convert --no-rules does.\n\n"
    "The invisible key column convert --add-keys gives a table without a primary\n"
    "key (bracken_row_id) is left out of the comparison: the table is still one\n"
    "without a key, and keeps the column when it is replaced or rebuilt. With\n"
    "--add-keys, or on a cluster node or a server that requires primary keys, the\n"
    "tables sync creates or rebuilds get the column as convert gives it.\n\n"
    "What convert makes besides the rows is brought in line too: each column's\n"
    "default and comment, the table's comment and its CHECK constraints (the\n"
    "validation rules), the foreign keys of the relationships (InnoDB), and the\n"
    "views and procedures of the saved queries; a plain index an InnoDB table\n"
    "lacks (a conversion cut short before it added them) is added. With\n"
    "--no-rules the copy keeps no default, rule or comment, with --no-queries\n"
    "the saved queries are left alone, as for convert and verify. With\n"
    "--ole-objects files, OLE Object columns hold the files taken out of their\n"
    "values, with their name and MIME type beside them, as convert --ole-objects\n"
    "files makes them; a copy made otherwise differs in its columns.\n\n"
    "Before anything changes, every table is held against the server: when most\n"
    "tables are missing, differ in their columns or are in MySQL only, D was not\n"
    "made from this file, and the sync is refused with the differences named;\n"
    "--force syncs it anyway. --dry-run prints what would change and sends no\n"
    "write. The passwords are found as for convert (--password=P, MYSQL_PWD, a\n"
    "prompt on the terminal; --mdb-password P, BRACKEN_MDB_PASSWORD).\n\n"
    "Each table's line goes to standard output, for example\n"
    "  Orders: 3 added, 2 changed, 1 removed, 824 unchanged\n"
    "  Notes: replaced, 12 rows (no key; 3 rows differed)\n"
    "  Shippers: created, 3 rows\n"
    "with what could not be brought in line indented below it; the last line sums\n"
    "up: \"D: 5 tables, 3 in step, 2 brought in line, 0 not in line; rows: 3 added,\n"
    "2 changed, 1 removed, 0 refused\".\n\n"
    "For a nightly refresh from cron, keep the password out of the command line,\n"
    "for example in a file only the job's user can read:\n"
    "  0 2 * * * MYSQL_PWD=\"$(cat ~/.shop-db-password)\" bracken-cli sync \\\n"
    "      /srv/office/Shop.accdb --host db --user app --database shop \\\n"
    "      >> ~/shop-sync.log 2>&1\n\n"
    "Exit status:\n"
    "  0  the copy now matches the file (--dry-run: nothing would change)\n"
    "  1  something could not be brought in line, named in the output: rows refused,\n"
    "     a table that failed, rows the file cannot give (--dry-run: something would\n"
    "     change). Tables in MySQL only are named and left alone; they do not make\n"
    "     the status 1\n"
    "  2  usage error: bad options, an unknown table, or no password and no terminal\n"
    "  3  nothing done: the file or the server could not be opened, or the database\n"
    "     was not made from this file\n";

// Whether the database already holds an InnoDB table, so that the tables
// sync creates take InnoDB whatever --engine says. A question the server
// does not answer counts as none.
bool HoldsInnoDbTable(target::MySqlConnection& connection, const std::string& database) {
  const auto rows = connection.QueryRows(
      "SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_TYPE = 'BASE TABLE' AND "
      "ENGINE = 'InnoDB' AND TABLE_SCHEMA = '" +
      engine::EscapeText(database) + "' LIMIT 1");
  return rows && !rows->empty();
}

// The database's MyISAM tables, by name.
std::vector<std::string> MyIsamTables(target::MySqlConnection& connection,
                                      const std::string& database) {
  std::vector<std::string> names;
  const auto rows = connection.QueryRows(
      "SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_TYPE = 'BASE TABLE' AND "
      "ENGINE = 'MyISAM' AND TABLE_SCHEMA = '" +
      engine::EscapeText(database) + "' ORDER BY TABLE_NAME");
  if (!rows) return names;
  for (const auto& row : *rows) {
    if (!row.empty()) names.push_back(row.front());
  }
  return names;
}

// MyISAM tables already in the database on a cluster node: their rows
// reach no other node, so sync would only add to what the other nodes lack.
std::optional<std::string> MyIsamTablesOnClusterRefusal(const std::vector<std::string>& names,
                                                        const target::ClusterTraits& cluster) {
  if (names.empty() || !cluster.IsCluster()) return std::nullopt;
  std::string list;
  const std::size_t shown = std::min<std::size_t>(names.size(), 5);
  for (std::size_t i = 0; i < shown; ++i) list += (i > 0 ? ", " : "") + names[i];
  if (names.size() > shown) list += " and " + std::to_string(names.size() - shown) + " more";
  return engine::MyIsamOnClusterText(cluster.galeraNode, cluster.galeraClusterSize) + " " +
         (names.size() == 1 ? "The table " + list + " is" : "The tables " + list + " are") +
         " MyISAM: convert the file again with --engine InnoDB.";
}

struct Options : CommonArguments {
  engine::SyncChoices choices;
  bool carryRules = true;
  bool carryQueries = true;
  bool addKeys = false;
  engine::OleObjects oleObjects = engine::OleObjects::Raw;
};

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string value;
    if (TakeCommonOption(args, i, options)) continue;
    if (args[i] == "--dry-run") {
      options.choices.dryRun = true;
    } else if (args[i] == "--delete-tables") {
      options.choices.deleteTables = true;
    } else if (args[i] == "--force") {
      options.choices.force = true;
    } else if (args[i] == "--no-rules") {
      options.carryRules = false;
    } else if (args[i] == "--no-queries") {
      options.carryQueries = false;
    } else if (args[i] == "--add-keys") {
      options.addKeys = true;
    } else if (std::string value; TakeValue(args, i, "--ole-objects", value)) {
      const auto chosen = engine::ParseOleObjects(value);
      if (!chosen)
        throw std::runtime_error("--ole-objects takes raw or files, not '" + value + "'");
      options.oleObjects = *chosen;
    } else if (TakeValue(args, i, "--engine", value)) {
      const auto chosen = engine::ParseTableEngine(value);
      if (!chosen) throw std::runtime_error("--engine takes MyISAM or InnoDB, not '" + value + "'");
      options.choices.engine = *chosen;
    } else {
      TakeFile(args, i, options);
    }
  }
  if (options.file.empty()) throw std::runtime_error("no Access file given");
  if (options.host.empty() || options.user.empty() || options.database.empty()) {
    throw std::runtime_error("--host, --user and --database are required");
  }
  if (options.choices.deleteTables && !options.tables.empty()) {
    throw std::runtime_error("--delete-tables needs every table of the file, not --table");
  }
  options.choices.wholeFile = options.tables.empty();
  return options;
}

int Sync(const std::vector<std::string>& args) {
  Options options;
  target::ConnectOptions connectOptions;
  try {
    options = ParseOptions(args);
    connectOptions = ResolveServerOptions(options.server);
  } catch (const std::exception& error) {
    std::cerr << "bracken-cli sync: " << error.what() << "\n" << kHelp << kServerOptionsHelp;
    return kExitUsage;
  }

  // The file first: a file that cannot be opened needs no server.
  ChosenTables file;
  std::optional<std::string> mdbPassword = GivenAccessPassword(options.mdbPassword);
  const auto failed = OpenAndChoose("sync", options.file, mdbPassword, options.tables, file);
  target::WipeSecret(mdbPassword);
  target::WipeSecret(options.mdbPassword);
  if (failed) return *failed;

  std::string password;
  try {
    password = MySqlPassword(options.password, options.promptPassword);
  } catch (const std::exception& error) {
    std::cerr << "bracken-cli sync: " << error.what() << "\n";
    return kExitUsage;
  }
  target::MySqlConnection connection;
  const auto connected = connection.Connect(options.host, options.user, password, connectOptions);
  target::WipeSecret(password);
  target::WipeSecret(options.password);
  if (connected != target::MySqlConnection::ConnectResult::Connected) {
    const bool session = connected == target::MySqlConnection::ConnectResult::SessionRefused;
    std::cerr << "Message: "
              << EscapeControls(session ? engine::SessionRefusedMessage(connection.ErrorText())
                                        : engine::kConnectFailureMessage,
                                true)
              << "\n";
    return kExitFailed;
  }
  // Tables sync would create as MyISAM on a cluster node would reach no
  // other node, and --add-keys needs a server that takes invisible columns:
  // refused before anything is sent (a dry run sends nothing).
  const target::ClusterTraits cluster =
      target::ReadClusterTraits(connection).value_or(target::ClusterTraits{});
  // Sync compares with what the node holds: on a cluster node its reads wait
  // for the writes the cluster committed before them.
  target::ReadCausally(connection, cluster);
  const RowKeysChoice rowKeys = ChooseRowKeys(options.addKeys, cluster, connection.Traits());
  std::optional<std::string> refusal;
  std::string refusalNote;
  if (options.choices.engine == engine::TableEngine::MyISAM && !options.choices.dryRun) {
    refusal = MyIsamOnClusterRefusal(cluster, "Sync");
    if (refusal && HoldsInnoDbTable(connection, options.database)) refusal.reset();
    refusalNote = "MyISAM refused on a cluster node";
  }
  if (!refusal && cluster.IsCluster() && !options.choices.dryRun) {
    refusal = MyIsamTablesOnClusterRefusal(MyIsamTables(connection, options.database), cluster);
    refusalNote = "MyISAM tables on a cluster node";
  }
  if (!refusal && rowKeys.refusal && !options.choices.dryRun) {
    refusal = rowKeys.refusal;
    refusalNote = "--add-keys refused by the server";
  }
  if (refusal) {
    target::WipeSecret(file.connectionText);
    std::cerr << "Message: " << EscapeControls(*refusal, true) << "\n" << std::flush;
    engine::SyncSummary summary;
    summary.cannotStart = refusalNote;
    std::cout << EscapeControls(engine::SyncSummaryLine(options.database, summary, false))
              << std::endl;
    return kExitFailed;
  }

  engine::CatalogSource source(file.catalog, file.connectionText);
  target::WipeSecret(file.connectionText);
  engine::MySqlStatementExecutor executor(connection);
  engine::ConversionContext context(executor, source);
  context.batching = engine::RowBatching{kBatchRows, std::size_t{1} << 20, true};
  if (cluster.IsCluster()) {
    context.batching.BoundWriteSets(cluster.WriteSetRowLimit(), cluster.WriteSetByteLimit());
  }
  context.carryRules = options.carryRules;
  context.carryQueries = options.carryQueries;
  context.addRowKeys = rowKeys.add;
  context.oleObjects = options.oleObjects;
  ConsoleOwner owner(file.names, file.checked, options.database, OverwriteAnswer::No, std::cerr,
                     isatty(STDERR_FILENO) != 0, false);
  const bool dryRun = options.choices.dryRun;
  if (rowKeys.notice && !dryRun) owner.Note(*rowKeys.notice);
  // The first Ctrl-C stops after the current table (its changes whole); a
  // second one, or SIGTERM, ends at once: the server undoes an InnoDB
  // table's open transaction, and a later sync completes the rest.
  InterruptHooks hooks;
  hooks.first = [&owner] {
    owner.Note("Stopping after the current table; press Ctrl-C again to end at once.");
  };
  hooks.tick = [&context] { context.stopRequested = true; };
  hooks.second = [&options] {
    // Past the stream, which the run's thread may be writing.
    const std::string line = EscapeControls(options.database + ": ended at once") + "\n";
    if (::write(STDOUT_FILENO, line.data(), line.size()) < 0) std::_Exit(kExitIncomplete);
    std::_Exit(kExitIncomplete);
  };
  InterruptWatch interrupts(hooks);
  engine::SyncSummary summary =
      engine::SyncTables(owner, context, CheckedTables(file.names, file.checked), connection,
                         options.database, options.choices, [&](const engine::TableSync& table) {
                           owner.Note("");
                           for (const std::string& line : engine::TableSyncLines(table, dryRun)) {
                             std::cout << EscapeControls(line) << "\n";
                           }
                           std::cout << std::flush;
                         });
  if (summary.refused) {
    std::cout << "The database " << engine::Bracketed(options.database)
              << " was not made from this file; nothing was changed (--force syncs it anyway).\n";
    for (const std::string& line : summary.refusal) std::cout << EscapeControls(line) << "\n";
  }
  for (const std::string& change : summary.objects) {
    std::cout << EscapeControls((dryRun ? "To bring in line: " : "Brought in line: ") + change)
              << "\n";
  }
  for (const std::string& problem : summary.objectProblems) {
    std::cout << EscapeControls("Not in line: " + problem) << "\n";
  }
  for (const std::string& name : summary.onlyInMySql) {
    std::cout << EscapeControls(name) << ": in MySQL only, left alone (--delete-tables drops it)\n";
  }
  for (const std::string& name : summary.dropped) {
    std::cout << EscapeControls(name)
              << (dryRun ? ": in MySQL only, to be dropped\n" : ": in MySQL only, dropped\n");
  }
  for (const auto& [name, why] : summary.notDropped) {
    std::cout << EscapeControls(name)
              << ": in MySQL only, could not be dropped: " << EscapeControls(why) << "\n";
  }
  std::cout << EscapeControls(engine::SyncSummaryLine(options.database, summary, dryRun))
            << std::endl;
  if (summary.refused || !summary.cannotStart.empty()) return kExitFailed;
  if (dryRun) return summary.NothingToDo() ? kExitSuccess : kExitIncomplete;
  return summary.InLine() ? kExitSuccess : kExitIncomplete;
}

const CommandRegistration kRegistration({"sync",
                                         "Bring a MySQL copy in line with its Access file again",
                                         std::string(kHelp) + kServerOptionsHelp, Sync});

}  // namespace

}  // namespace bracken::cli
