#pragma once

// While a statement of the run waits on the server for something other than
// its own work (a lock another client holds: DROP DATABASE or DROP TABLE
// behind a metadata lock, an INSERT behind LOCK TABLES or FLUSH TABLES WITH
// READ LOCK; a table flush; a full disk; replicas or cluster nodes that must
// catch up), the run says so in its waiting label with a sentence naming the
// wait, and a stop asked meanwhile breaks the statement off instead of
// waiting for the wait to end.
//
// The watch stands between the run and its executor: every statement passes
// through it, and a thread of its own looks at a statement that takes longer
// than a few seconds by asking the server, from a second session, what the
// run's session is doing.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/output/statement_executor.h"
#include "target/mysql_connection.h"

namespace bracken::engine {

// The waiting label (control 1040) during a wait for a table's lock, and its
// usual text. Every notice of a wait begins with kWaitNoticeStart.
inline constexpr const char* kLockWaitText =
    "Bracken waits for a lock held by another client of the MySQL server...";
inline constexpr const char* kPleaseWaitText = "Please wait.. Database conversion is in progress.";
inline constexpr const char* kWaitNoticeStart = "Bracken waits";

// The notices of the other waits the watch names.
inline constexpr const char* kGlobalReadLockWaitText =
    "Bracken waits: another client of the MySQL server holds a global read lock (FLUSH TABLES "
    "WITH READ LOCK or a backup), and nothing can be written until it lets go...";
inline constexpr const char* kDiskFullWaitText =
    "Bracken waits: the MySQL server's disk is full, and the server waits for someone to free "
    "space before it writes more...";
inline constexpr const char* kTableFlushWaitText =
    "Bracken waits for the MySQL server to close a table for FLUSH TABLES, which waits for "
    "another client that still uses it...";
inline constexpr const char* kReplicaWaitText =
    "Bracken waits: the MySQL server waits for a replica to confirm the write (semi-synchronous "
    "replication)...";
inline constexpr const char* kClusterWaitText =
    "Bracken waits: the MySQL server's cluster holds writes back until its other nodes catch up "
    "(flow control)...";
inline constexpr const char* kClusterCertificationWaitText =
    "Bracken waits: the MySQL server's cluster has not yet certified the write; a node that "
    "stopped answering holds it back until the cluster gives that node up...";

// True for a process-list state of a session that waits for a lock:
// "Waiting for table metadata lock", "Waiting for table level lock", ...
bool IsLockWaitState(const std::string& state);

// The notice for a process-list state of a session that waits on the server
// for something other than its own work, or "" for a state of ordinary
// work ("Sending data", "Update", "closing tables", ...). A wait without a
// sentence of its own gets one that quotes the server's state.
std::string ServerWaitText(const std::string& state);

// What the watch asks of the server about the run's session.
class LockProbe {
 public:
  virtual ~LockProbe() = default;
  // The process-list state of the session with this CONNECTION_ID(), or ""
  // when it has none or the server does not tell.
  virtual std::string SessionState(std::uint64_t connectionId) = 0;
  // Breaks off the statement that session runs (KILL QUERY); the session stays.
  virtual void BreakOff(std::uint64_t connectionId) = 0;
};

// The probe over a second session with the run's host, login and options,
// opened when first needed (give the port the run's session found, so no
// other server is tried). Its own reads wait at most a few seconds, so a
// frozen server never holds the watch for long.
class ServerLockProbe : public LockProbe {
 public:
  ServerLockProbe(std::string host, std::string login, std::string password,
                  target::ConnectOptions options);
  std::string SessionState(std::uint64_t connectionId) override;
  void BreakOff(std::uint64_t connectionId) override;

 private:
  bool Open();

  std::string host_, login_, password_;
  target::ConnectOptions options_;
  target::MySqlConnection connection_;
};

struct LockWaitTiming {
  // How long a statement runs before the watch asks about it.
  std::chrono::milliseconds threshold{3000};
  // How often it asks again, and looks for a stop request, meanwhile.
  std::chrono::milliseconds interval{250};
};

class LockWaitWatch : public StatementExecutor {
 public:
  // `inner` and `probe` must outlive the watch.
  LockWaitWatch(StatementExecutor& inner, LockProbe& probe, LockWaitTiming timing = {});
  ~LockWaitWatch() override;
  LockWaitWatch(const LockWaitWatch&) = delete;
  LockWaitWatch& operator=(const LockWaitWatch&) = delete;

  // Who hears of a wait (label 1040 of `owner`, set from the watch's thread)
  // and the run whose stop request breaks a wait off (setting its
  // stoppedDuringWait). Call before the run starts; both must outlive the
  // watch or the next Attach.
  void Attach(ConversionOwner& owner, ConversionContext& context);

  bool Execute(const std::string& statement) override;
  bool ExecuteWithLongValues(const std::string& statementWithPlaceholders,
                             const std::vector<std::string_view>& values) override;
  const target::ServerTraits& Traits() const override { return inner_.Traits(); }
  std::string ErrorText() const override { return inner_.ErrorText(); }
  bool LastErrorWasConnectionLost() const override { return inner_.LastErrorWasConnectionLost(); }
  unsigned int LastErrorNumber() const override { return inner_.LastErrorNumber(); }
  // The row count a batch reads after a refusal; it may wait for a lock as
  // a statement may.
  std::optional<long long> CountRows(const std::string& quotedName) override;
  // Holding a table's rows against a rule waits for a lock as a statement may.
  std::optional<long long> CountRowsWhere(const std::string& quotedName,
                                          const std::string& condition) override;
  // Reading the login's grants waits for no lock.
  std::optional<target::DatabaseRights> RightsOn(const std::string& name) override {
    return inner_.RightsOn(name);
  }
  std::optional<long long> CountTables(const std::string& name) override {
    return inner_.CountTables(name);
  }
  // The watch runs from the start of a statement to its answer.
  target::LocalLoadResult LoadFromStream(const std::string& statement,
                                         target::LocalLoadStream& stream,
                                         target::LocalLoadCounts& counts) override;
  void StartStatement(const std::string& statement) override;
  bool FinishStatement() override;

 private:
  void Begin();
  void End();
  void Run();
  bool StopRequested() const;
  bool Look(std::uint64_t statement, std::uint64_t connectionId);

  StatementExecutor& inner_;
  LockProbe& probe_;
  LockWaitTiming timing_;
  ConversionOwner* owner_ = nullptr;
  ConversionContext* context_ = nullptr;

  std::mutex mutex_;                 // guards the statement state below
  std::condition_variable changed_;  // wakes the thread to quit
  bool quit_ = false;
  bool running_ = false;
  std::uint64_t statement_ = 0;  // counts statements begun
  std::chrono::steady_clock::time_point started_;

  // Held while the watch tells the owner or breaks a statement off, and by
  // the worker as a statement begins or ends, so a notice never follows the
  // end of its wait and a KILL never reaches a later statement.
  std::mutex actMutex_;
  std::string shownNotice_;  // the notice of the statement's wait, if told

  std::thread thread_;
};

}  // namespace bracken::engine
