#pragma once

// The statements of a run written to a stream instead of sent to a server:
// a file that `mariadb < FILE` (or `mysql < FILE`) replays into the same
// database a direct run creates. No statement is refused, except that the
// USE that asks whether the database exists is answered "unknown database"
// and not written: the file replaces the database as a run with --yes does,
// its CREATE DATABASE preceded by DROP DATABASE IF EXISTS.
//
// The client reading the file drops a carriage return before a line feed
// and stops at Ctrl-Z on Windows, so no quoted text in the file holds one
// raw: the row copy's literals spell them out (TextEscapes::DumpFile), and
// the other statements (a comment, a default) are spelled out on writing.
//
// A CREATE PROCEDURE stands between "DELIMITER ;;" and "DELIMITER ;", so
// the client sends the statements of its body as one.
//
// A row too long for one statement has its long values built in user
// variables, piece by piece (each piece a statement of its own, in hex, so
// that text and bytes alike arrive as they are), and its INSERT names the
// variables where the server would have taken the values apart.

#include <ostream>
#include <string>

#include "engine/output/statement_executor.h"
#include "target/server_traits.h"

namespace bracken::engine {

class DumpStatementExecutor : public StatementExecutor {
 public:
  // `traits` stand for the server the file is meant for; `where` names the
  // stream in the error of a failed write.
  DumpStatementExecutor(std::ostream& out, target::ServerTraits traits, std::string where);

  bool Execute(const std::string& statement) override;
  bool ExecuteWithLongValues(const std::string& statementWithPlaceholders,
                             const std::vector<std::string_view>& values) override;
  const target::ServerTraits& Traits() const override { return traits_; }
  bool WritesDumpFile() const override { return true; }
  std::string ErrorText() const override { return error_; }
  // A write that failed (a full disk, a closed pipe) ends the run as a lost
  // connection would.
  bool LastErrorWasConnectionLost() const override { return !error_.empty(); }
  unsigned int LastErrorNumber() const override { return error_.empty() ? kUnknownDatabase : 0; }

 private:
  static constexpr unsigned int kUnknownDatabase = 1049;
  bool Write(std::string_view statement);

  std::ostream& out_;
  target::ServerTraits traits_;
  std::string where_;
  std::string error_;
  bool databaseCreated_ = false;
};

// The opening comment and session settings of a dump of `sourceFile`,
// written at `when`, for the server `traits` describe.
std::string DumpHeader(const std::string& sourceFile, const std::string& when,
                       const target::ServerTraits& traits);

// `statement` with every CR, LF and Ctrl-Z inside a single- or double-quoted
// text written as \r, \n and \Z; names and the words between texts stay as
// they are.
std::string SpellOutLineBreaks(std::string_view statement);

// `statement` with its `?` placeholders (those outside quoted texts and
// names) replaced in order by `names`.
std::string FillPlaceholders(const std::string& statement, const std::vector<std::string>& names);

}  // namespace bracken::engine
