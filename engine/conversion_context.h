#pragma once

// Everything one conversion shares between its steps: where statements go,
// where rows come from, the stop flag the window sets, the key state of the
// current table and the tally the run reports at its end.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/conversion_source.h"
#include "engine/output/statement_executor.h"
#include "engine/schema/name_spelling.h"
#include "engine/schema/table_plan.h"

namespace bracken::engine {

// What the key clauses leave for the column definitions of the same table.
struct KeyState {
  std::string keyText;
  bool primaryKeyEmitted = false;
  // The first column of the PRIMARY KEY clause when that clause stands first:
  // the only column that may be AUTO_INCREMENT.
  std::optional<std::string> leadingPrimaryKeyColumn;
  // Columns of the table's primary key, written NOT NULL whatever the file
  // says (Access never stores a null there, and MySQL refuses the key).
  std::vector<std::string> primaryKeyColumns;
  // Columns of UNIQUE keys. Access lets such a key hold many nulls; a null
  // text there is sent as NULL, not as '', or the rows after the first would
  // be refused as duplicates.
  std::vector<std::string> uniqueKeyColumns;
  // Whether the clauses hold a plain (non-unique) INDEX: only such keys can
  // be built once after the rows (see conversion_run.cpp).
  bool plainIndexes = false;
  // For a table whose plain indexes are added after its rows: the key text
  // without them, and each of them as "ADD INDEX `name` (...)" under the
  // name the server gives it in the full CREATE TABLE. Both empty when the
  // names cannot be told for certain (the indexes then stay in keyText).
  std::string keyTextBeforeRows;
  std::vector<std::string> indexesAfterRows;

  void Clear() { *this = KeyState{}; }
};

enum class RunEnding {
  NoTableChecked,
  NameEmpty,
  NameTooLong,
  NameReserved,  // one of the server's own schemas
  OverwriteDeclined,
  DatabaseRefused,
  // An existing database left as it was: the login's grants show it could not
  // create the database again once dropped.
  CreateNotGranted,
  // The existing database was dropped and the server refused to create it
  // again: what it held is lost.
  DatabaseDropped,
  Completed,
  Stopped,
  TableFailed,
};

// A validation rule of a table dealt with before its rows (check_constraints.h):
// where it stands, its Access text, its constraint's name and condition, and
// why it is not kept where it was not added (reported after the rows, in
// the rules' order).
struct PendingCheck {
  std::string place;
  std::string accessText;
  std::string name;
  std::string condition;
  std::string refusal;
};

struct ConversionSummary {
  RunEnding ending = RunEnding::NoTableChecked;
  int tablesChecked = 0;
  int tablesConverted = 0;
  int tablesSkipped = 0;     // column definitions empty (locked or unreadable)
  int tablesIncomplete = 0;  // rows cut short by a source error
  int tablesFailed = 0;      // refused, vanished or cut off by a lost connection
  // Parts of the file's catalogue and of tables' definitions that cannot be
  // read (a table's pages left out count its table as cut short instead).
  long partsUnread = 0;
  long rowsSent = 0;
  long rowsRefused = 0;    // by the server, or unreadable, or too large to send
  long valuesChanged = 0;  // stored otherwise than Access held them (NaN as NULL, ...)
  long reportLines = 0;    // lines of the run's report (also renames, widenings)
  // Enforced relationships of the file that are not foreign keys in MySQL.
  long relationshipsNotCreated = 0;
  // Defaults and validation rules that could not be created on the server.
  long rulesNotKept = 0;
  // Saved queries of the file that are neither a view nor a procedure.
  long queriesNotCreated = 0;
  // Plain indexes built after a table's rows that the server refused.
  long indexesNotCreated = 0;
  // Tables created with a key column of their own (schema/row_key.h); not a
  // loss, each is named in the report.
  long rowKeysAdded = 0;

  // Adds the counts of `part` (a table's share of the run), all but the
  // ending and the tables checked and converted, which the run keeps itself.
  void AddCounts(const ConversionSummary& part) {
    tablesSkipped += part.tablesSkipped;
    tablesIncomplete += part.tablesIncomplete;
    tablesFailed += part.tablesFailed;
    partsUnread += part.partsUnread;
    rowsSent += part.rowsSent;
    rowsRefused += part.rowsRefused;
    valuesChanged += part.valuesChanged;
    reportLines += part.reportLines;
    relationshipsNotCreated += part.relationshipsNotCreated;
    rulesNotKept += part.rulesNotKept;
    queriesNotCreated += part.queriesNotCreated;
    indexesNotCreated += part.indexesNotCreated;
    rowKeysAdded += part.rowKeysAdded;
  }

  // True when something did not arrive as Access held it.
  bool Lost() const {
    return tablesSkipped + tablesIncomplete + tablesFailed > 0 ||
           rowsRefused + valuesChanged + partsUnread + relationshipsNotCreated + rulesNotKept +
                   queriesNotCreated + indexesNotCreated >
               0;
  }
};

// How many rows one INSERT carries. The window sends one per row; the
// command line sends many, up to `rows` rows and `bytes` of statement text
// (never more than the server takes in one statement).
//
// With `loadData` (the command line's default against a server), a table's
// rows go in one LOAD DATA LOCAL INFILE first (row_load.h); a server that
// does not take it gets the INSERTs, and the run clears it.
//
// On a cluster node every statement outside a transaction, and every LOAD,
// is one write set that each node certifies and applies whole: `writeSetRows`
// and `writeSetBytes` (0: no bound) keep one INSERT, and one LOAD's chunk,
// within the cluster's limits (see BoundWriteSets).
struct RowBatching {
  std::size_t rows = 1;
  std::size_t bytes = std::size_t{1} << 20;
  bool loadData = false;
  std::size_t writeSetRows = 0;
  std::size_t writeSetBytes = 0;

  bool Batched() const { return rows > 1; }
  // The rows one INSERT may carry, within the write-set bound.
  std::size_t RowsPerStatement() const {
    return writeSetRows == 0 ? rows : std::min(rows, writeSetRows);
  }
  // The bytes of statement text one INSERT may carry, within the bound.
  std::size_t BytesPerStatement() const {
    return writeSetBytes == 0 ? bytes : std::min(bytes, writeSetBytes);
  }
  // Bounds the write sets by a cluster's limits on one transaction (Galera's
  // wsrep_max_ws_rows and wsrep_max_ws_size, Group Replication's
  // group_replication_transaction_size_limit; 0: none). A row's write set
  // can be larger than its text (a number written "0" takes eight bytes as
  // a BIGINT, and each row adds its key and header), so the text may fill a
  // quarter of the byte limit; and however large the limit, one write set
  // stays within 64 MiB, as every node holds it whole while it certifies it
  // and the cluster waits meanwhile.
  void BoundWriteSets(std::uint64_t maxRows, std::uint64_t maxBytes) {
    constexpr std::uint64_t kLargest = std::uint64_t{64} << 20;
    const std::uint64_t bytesBound = maxBytes == 0 ? kLargest : std::min(kLargest, maxBytes / 4);
    writeSetRows = static_cast<std::size_t>(maxRows);
    writeSetBytes = static_cast<std::size_t>(std::max<std::uint64_t>(bytesBound, 1));
  }
};

// The storage engine of the tables the run creates.
enum class TableEngine { MyISAM, InnoDB };

// What an OLE Object column holds in MySQL: Raw, the container as Access
// holds it (the default); Files, the file each value holds, with two more
// columns beside it for the file's name and MIME type (engine/rows/ole_files.h).
enum class OleObjects : uint8_t { Raw, Files };

struct ConversionContext;
class ConversionOwner;
class TableJobs;

// What one job of a run that copies several tables at once works with: a
// session of its own on the server (connected as the run's own, with the
// same character set and sql_mode) and a reader of its own on the file.
class JobSession {
 public:
  virtual ~JobSession() = default;
  virtual StatementExecutor& Executor() = 0;
  virtual ConversionSource& Source() = 0;
  // Called once the job's context exists, before its first statement (a
  // lock-wait watch attaches to the job's owner and context here).
  virtual void Attach(ConversionOwner& /*owner*/, ConversionContext& /*context*/) {}
};

// Opens a job's session; nullptr when the server or the file cannot be
// reached for it. Called from the job's own thread.
using JobSessionFactory = std::function<std::unique_ptr<JobSession>()>;

struct ConversionContext {
  ConversionContext(StatementExecutor& executor, ConversionSource& source)
      : executor(executor), source(source) {}

  StatementExecutor& executor;
  ConversionSource& source;
  // Set by STOP on the interface thread; cleared when a table's rows start.
  std::atomic<bool> stopRequested{false};
  // Set when a statement that waited for another client's lock was broken
  // off because a stop was asked (see lock_wait_watch.h); the run then ends
  // as stopped at once, whatever the row copy did to stopRequested.
  std::atomic<bool> stoppedDuringWait{false};
  // The program ends at once (a second Ctrl-C, SIGTERM) and has taken its
  // summary: no statement may reach the server after that, or the server
  // would hold rows the summary does not count as sent. Rows count as sent
  // before their statement starts, so the summary taken after this is set
  // counts every row that can still arrive.
  std::atomic<bool> endingAtOnce{false};
  KeyState keyState;
  // The plan of the current table, and the names given out to tables so far.
  TablePlan tablePlan;
  NameRegistry tableNames{false};
  // The server's case-insensitive, accent-sensitive collations for utf8 and
  // utf8mb4 text, as Access compares text; empty where it has none.
  std::string textCollation;
  std::string extendedTextCollation;
  RowBatching batching;
  // Defaults, CHECK constraints from validation rules and comments from
  // descriptions (off with the command line's --no-rules), and the names
  // given out to CHECK constraints so far, lower-cased.
  bool carryRules = true;
  // The file's saved queries as views and procedures, after the tables (off
  // with the command line's --no-queries).
  bool carryQueries = true;
  // What OLE Object columns hold (the command line's --ole-objects).
  OleObjects oleObjects = OleObjects::Raw;
  // Whether the batched copy builds plain indexes once after a table's rows
  // (MyISAM's DISABLE KEYS, InnoDB's indexes added afterwards); off only to
  // measure the difference.
  bool keysAfterRows = true;
  // Whether the current table's plain keys are disabled while its rows
  // arrive (MyISAM), so that a copy that empties the table again disables
  // them again.
  bool keysDisabled = false;
  std::set<std::string> constraintNames;
  // The CHECK constraints added to the current table before its rows, still
  // to be held against them (see check_constraints.h); whether the current
  // table's rules were all dealt with before its rows; and whether this
  // session's constraint checks are off for that.
  std::vector<PendingCheck> pendingChecks;
  bool checksPrepared = false;
  bool checksDeferred = false;
  // The open rows of the current table; replaced per table.
  std::unique_ptr<RowSource> recordset;
  ConversionSummary summary;

  // For the engine choice and the foreign keys: the engine of the created
  // tables; the text columns (source table, column) created as utf8mb4
  // because a column of one of their relationships holds characters above
  // U+FFFF, so both sides of a key compare alike; and the plans of the
  // tables converted so far, in order.
  TableEngine engine = TableEngine::MyISAM;
  // Whether a table without a primary key gets an invisible key column of
  // its own (schema/row_key.h). The owner of the run sets it: when the user
  // asks (the command line's --add-keys), and on its own when the server
  // needs a key on every table (ServerNeedsRowKeys), on a server that takes
  // invisible columns (TakesInvisibleColumns).
  bool addRowKeys = false;
  std::set<std::pair<std::string, std::string>> extendedRelationshipColumns;
  std::vector<TablePlan> convertedTables;

  // Tables copied at once (the command line's --jobs), each job over a
  // session `openJob` opens; 1, or no `openJob`, copies them one after
  // another over this context's own executor and source. A dump file is
  // always written by one job.
  int jobs = 1;
  JobSessionFactory openJob;
  // The names given out to tables before several jobs copy them, by source
  // name (see table_jobs.h); PlanTable takes a table's name from here when
  // it is listed, else claims it from tableNames.
  std::map<std::string, std::string> givenTableNames;
  // The jobs at work, while they are (see EndingAtOnceSummary).
  std::mutex jobsMutex;
  TableJobs* activeJobs = nullptr;
};

}  // namespace bracken::engine
