#pragma once

// What the login may do to one database, worked out from the lines the
// server gives for SHOW GRANTS: global grants (ON *.*), grants on a database
// or on a pattern of databases (`shop`.*, `cli\_%`.*), ALL PRIVILEGES, the
// partial revokes MySQL lists as REVOKE lines, and the grants of the roles
// the login holds. Table, column and routine grants give no right over a
// whole database and are passed over.
//
// Where in doubt the answer leans towards "may": grants of every matching
// pattern are added together, a role's grants count whether or not the role
// is active, and names compare without regard to ASCII case. A wrong "may"
// only leaves the server to refuse the statement itself; a wrong "may not"
// would refuse a run that could have worked.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace bracken::target {

struct DatabaseRights {
  bool create = false;  // CREATE DATABASE may be sent for it
  bool drop = false;    // DROP DATABASE may be sent for it
};

class LoginGrants {
 public:
  // Takes in the lines of one SHOW GRANTS answer. False when a line is not
  // one this class understands (the grants are then not to be trusted).
  bool Add(const std::vector<std::string>& lines);
  // The roles named by the lines taken in so far ("`r`", "`r`@`%`"), as
  // SHOW GRANTS FOR takes them, each once, in the order first named.
  const std::vector<std::string>& Roles() const { return roles_; }
  // True once a line that grants anything (USAGE too) has been taken in.
  bool Any() const { return any_; }

  DatabaseRights On(const std::string& database) const;

 private:
  struct Grant {
    bool global = false;
    std::string pattern;  // the database name as granted, wildcards and all
    bool revoke = false;  // a partial revoke: its name is literal
    DatabaseRights rights;
  };
  std::vector<Grant> grants_;
  std::vector<std::string> roles_;
  bool any_ = false;
};

// Answers a query with the first column of each row; nothing when refused.
using GrantQuery = std::function<std::optional<std::vector<std::string>>(const std::string&)>;

// Reads the grants of the login (SHOW GRANTS, which names the current user's
// grants, and with MariaDB those to PUBLIC too) and of the roles it holds,
// roles within roles too. Nothing when any answer is refused
// or not understood, or when the login's answer grants nothing at all.
std::optional<LoginGrants> ReadLoginGrants(const GrantQuery& query);

// True when `name` matches a database pattern of a grant: `_` stands for one
// character, `%` for any run of them, and a backslash makes the next
// character stand for itself.
bool DatabasePatternMatches(const std::string& pattern, const std::string& name);

}  // namespace bracken::target
