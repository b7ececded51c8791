#include "target/login_grants.h"

#include <algorithm>
#include <cstddef>
#include <set>

namespace bracken::target {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Upper(std::string text) {
  for (char& c : text) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  return text;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool StartsWithWord(const std::string& text, const std::string& word) {
  return text.size() > word.size() && Upper(text.substr(0, word.size())) == word &&
         text[word.size()] == ' ';
}

// The place of `word` (" TO " with its spaces, ",") in `text` from `from` on,
// outside quotes and parentheses; npos when it stands nowhere there.
std::size_t FindWord(const std::string& text, const std::string& word, std::size_t from = 0) {
  char quote = 0;
  int depth = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == '\\' && quote != '`') {
        ++i;
      } else if (c == quote) {
        if (i + 1 < text.size() && text[i + 1] == quote) {
          ++i;
        } else {
          quote = 0;
        }
      }
      continue;
    }
    if (c == '`' || c == '\'' || c == '"') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (depth == 0 && Upper(text.substr(i, word.size())) == word) {
      return i;
    }
  }
  return std::string::npos;
}

// Splits a list at its commas outside quotes and parentheses, each part trimmed.
std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = FindWord(text, ",", start);
    parts.push_back(Trim(text.substr(start, comma == std::string::npos ? comma : comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts;
}

// A name as written in a grant: `quoted` (doubled backquotes inside), or bare.
std::optional<std::string> Unquote(const std::string& text) {
  if (text.empty()) return std::nullopt;
  if (text.front() != '`') {
    if (text.find_first_of("`'\" ") != std::string::npos) return std::nullopt;
    return text;
  }
  std::string name;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] != '`') {
      name += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '`') {
      name += '`';
      ++i;
    } else {
      return i + 1 == text.size() ? std::optional<std::string>(name) : std::nullopt;
    }
  }
  return std::nullopt;
}

// What a list of privileges gives over a database.
DatabaseRights RightsOf(const std::string& list) {
  DatabaseRights rights;
  for (const std::string& part : SplitList(list)) {
    std::string privilege = Upper(Trim(part.substr(0, part.find('('))));
    if (privilege == "ALL" || privilege == "ALL PRIVILEGES") {
      rights.create = rights.drop = true;
    } else if (privilege == "CREATE") {
      rights.create = true;
    } else if (privilege == "DROP") {
      rights.drop = true;
    }
  }
  return rights;
}

}  // namespace

bool DatabasePatternMatches(const std::string& pattern, const std::string& name) {
  // Positions in both where the last % stood, to go back to on a mismatch.
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starP = std::string::npos;
  std::size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '%') {
      starP = ++p;
      starN = n;
      continue;
    }
    if (p < pattern.size()) {
      const bool escaped = pattern[p] == '\\' && p + 1 < pattern.size();
      const char want = escaped ? pattern[p + 1] : pattern[p];
      if ((!escaped && want == '_') || Lower(want) == Lower(name[n])) {
        p += escaped ? 2 : 1;
        ++n;
        continue;
      }
    }
    if (starP == std::string::npos) return false;
    p = starP;
    n = ++starN;
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

bool LoginGrants::Add(const std::vector<std::string>& lines) {
  for (const std::string& raw : lines) {
    const std::string line = Trim(raw);
    // MariaDB names the default role; it grants nothing of its own.
    if (StartsWithWord(line, "SET")) continue;
    const bool revoke = StartsWithWord(line, "REVOKE");
    if (!revoke && !StartsWithWord(line, "GRANT")) return false;
    const std::string body = line.substr(revoke ? 7 : 6);
    const std::size_t to = FindWord(body, revoke ? " FROM " : " TO ");
    if (to == std::string::npos) return false;
    const std::size_t on = FindWord(body, " ON ");
    if (on == std::string::npos || on > to) {
      if (revoke) return false;
      // GRANT `role`[@`host`], ... TO the login.
      for (const std::string& role : SplitList(body.substr(0, to))) {
        if (role.empty() || role.front() != '`') return false;
        if (std::find(roles_.begin(), roles_.end(), role) == roles_.end()) roles_.push_back(role);
      }
      any_ = true;
      continue;
    }
    any_ = true;
    const std::string object = Trim(body.substr(on + 4, to - on - 4));
    Grant grant;
    grant.revoke = revoke;
    grant.rights = RightsOf(body.substr(0, on));
    if (object == "*.*") {
      grant.global = true;
    } else if (object.size() > 2 && object.compare(object.size() - 2, 2, ".*") == 0) {
      std::optional<std::string> database = Unquote(object.substr(0, object.size() - 2));
      if (!database) return false;
      grant.pattern = *database;
    } else {
      continue;  // a table, a column list, a routine, a proxy: nothing over a database
    }
    if (grant.rights.create || grant.rights.drop) grants_.push_back(grant);
  }
  return true;
}

DatabaseRights LoginGrants::On(const std::string& database) const {
  DatabaseRights rights;
  for (const Grant& grant : grants_) {
    if (grant.revoke) continue;
    if (grant.global || DatabasePatternMatches(grant.pattern, database)) {
      rights.create = rights.create || grant.rights.create;
      rights.drop = rights.drop || grant.rights.drop;
    }
  }
  // A partial revoke names one database literally and takes away from the
  // global grants.
  for (const Grant& grant : grants_) {
    if (!grant.revoke || grant.pattern.size() != database.size()) continue;
    if (!std::equal(database.begin(), database.end(), grant.pattern.begin(),
                    [](char a, char b) { return Lower(a) == Lower(b); })) {
      continue;
    }
    if (grant.rights.create) rights.create = false;
    if (grant.rights.drop) rights.drop = false;
  }
  return rights;
}

std::optional<LoginGrants> ReadLoginGrants(const GrantQuery& query) {
  LoginGrants grants;
  // Without FOR: MariaDB then adds what is granted to PUBLIC and to the
  // active role, which SHOW GRANTS FOR CURRENT_USER() leaves out; for MySQL
  // both are the same.
  std::optional<std::vector<std::string>> own = query("SHOW GRANTS");
  if (!own || !grants.Add(*own) || !grants.Any()) return std::nullopt;
  // Roles held through roles are named by the answers for those; a bound
  // keeps a server that names ever new roles from holding the run.
  constexpr std::size_t kMostRoles = 64;
  for (std::size_t i = 0; i < grants.Roles().size(); ++i) {
    if (i == kMostRoles) return std::nullopt;
    const std::string role = grants.Roles()[i];
    std::optional<std::vector<std::string>> lines = query("SHOW GRANTS FOR " + role);
    if (!lines || !grants.Add(*lines)) return std::nullopt;
  }
  return grants;
}

}  // namespace bracken::target
