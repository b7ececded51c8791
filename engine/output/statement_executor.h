#pragma once

// Where the conversion sends its statements: the MySQL connection in the
// program, a recorder in tests.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "target/local_load.h"
#include "target/login_grants.h"
#include "target/server_traits.h"

namespace bracken::target {
class MySqlConnection;
}

namespace bracken::engine {

class StatementExecutor {
 public:
  virtual ~StatementExecutor() = default;
  // Sends one statement; true when the server accepted it. The server takes
  // no statement longer than Traits().MaxStatementBytes().
  virtual bool Execute(const std::string& statement) = 0;
  // Sends one statement whose `?` placeholders take `values` in order, as
  // bytes sent apart from the statement's text, so each value alone (not the
  // whole row) must fit in Traits().maxAllowedPacket. Text values go as
  // utf8mb4 bytes; no NULL can be given this way (write NULL in the
  // statement). True when the server accepted the statement; on failure,
  // ErrorText and LastErrorWasConnectionLost tell why, as for Execute.
  virtual bool ExecuteWithLongValues(const std::string& statementWithPlaceholders,
                                     const std::vector<std::string_view>& values) = 0;
  // What the server told of itself: its packet limit, version and collations.
  virtual const target::ServerTraits& Traits() const = 0;
  // True when the statements go to a file that the mariadb or mysql client
  // replays, not to a server: quoted literals then take
  // TextEscapes::DumpFile, and Traits() stand for the server the file is
  // meant for.
  virtual bool WritesDumpFile() const { return false; }
  // The server's explanation of the last failure.
  virtual std::string ErrorText() const = 0;
  // True when the last failure was a lost connection rather than a refusal.
  virtual bool LastErrorWasConnectionLost() const = 0;
  // The server's number for the last failure; 0 when none is known.
  virtual unsigned int LastErrorNumber() const = 0;
  // The number of rows the table `quotedName` holds (exact and cheap for
  // MyISAM); nothing when it cannot be read, with ErrorText and
  // LastErrorWasConnectionLost telling why. Executors that never refuse a
  // row need not know it.
  virtual std::optional<long long> CountRows(const std::string& quotedName);
  // The number of rows of the table `quotedName` for which `condition` is
  // true (a rule's breaches: "NOT (rule)"); nothing when it cannot be read,
  // as for CountRows. Executors without a server to ask tell nothing.
  virtual std::optional<long long> CountRowsWhere(const std::string& quotedName,
                                                  const std::string& condition);
  // Whether the login may create and drop the database `name` (unquoted), as
  // its grants on the server say; nothing when they cannot be read or are not
  // understood. Executors without a server to ask tell nothing.
  virtual std::optional<target::DatabaseRights> RightsOn(const std::string& name);
  // How many tables (and views) the database `name` (unquoted) holds; nothing
  // when the server cannot tell. Executors without a server tell nothing.
  virtual std::optional<long long> CountTables(const std::string& name);

  // Sends a LOAD DATA LOCAL INFILE statement whose file `stream` makes
  // while the server reads it (see target/local_load.h). Executors without a
  // server take none: NotTaken.
  virtual target::LocalLoadResult LoadFromStream(const std::string& /*statement*/,
                                                 target::LocalLoadStream& /*stream*/,
                                                 target::LocalLoadCounts& /*counts*/) {
    return target::LocalLoadResult::NotTaken;
  }

  // A statement in two halves, so the next rows can be read while the server
  // works: StartStatement sends it and returns at once, FinishStatement waits
  // for its answer and tells as Execute does. Nothing else may be sent in
  // between. The default sends the whole statement at FinishStatement.
  virtual void StartStatement(const std::string& statement) { started_ = statement; }
  virtual bool FinishStatement() { return Execute(started_); }

 private:
  std::string started_;
};

// The executor over the program's one MySQL connection, which must outlive it.
class MySqlStatementExecutor : public StatementExecutor {
 public:
  explicit MySqlStatementExecutor(target::MySqlConnection& connection) : connection_(connection) {}
  bool Execute(const std::string& statement) override;
  bool ExecuteWithLongValues(const std::string& statementWithPlaceholders,
                             const std::vector<std::string_view>& values) override;
  const target::ServerTraits& Traits() const override;
  std::string ErrorText() const override;
  bool LastErrorWasConnectionLost() const override;
  unsigned int LastErrorNumber() const override;
  std::optional<long long> CountRows(const std::string& quotedName) override;
  std::optional<long long> CountRowsWhere(const std::string& quotedName,
                                          const std::string& condition) override;
  std::optional<target::DatabaseRights> RightsOn(const std::string& name) override;
  std::optional<long long> CountTables(const std::string& name) override;
  target::LocalLoadResult LoadFromStream(const std::string& statement,
                                         target::LocalLoadStream& stream,
                                         target::LocalLoadCounts& counts) override;
  void StartStatement(const std::string& statement) override;
  bool FinishStatement() override;

 private:
  target::MySqlConnection& connection_;
};

}  // namespace bracken::engine
