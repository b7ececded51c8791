// What the login may do to a database, from SHOW GRANTS as MariaDB and MySQL
// write it.
#include "target/login_grants.h"

#include <gtest/gtest.h>

#include <map>

namespace bracken::target {
namespace {

DatabaseRights On(const std::vector<std::string>& lines, const std::string& database) {
  LoginGrants grants;
  EXPECT_TRUE(grants.Add(lines));
  return grants.On(database);
}

TEST(LoginGrants, GlobalDatabaseAndPatternGrants) {
  const std::string usage = "GRANT USAGE ON *.* TO `u`@`%` IDENTIFIED BY PASSWORD '*AB TO ON'";
  DatabaseRights dropOnly = On({usage, "GRANT SELECT, DROP ON `shop`.* TO `u`@`%`"}, "shop");
  EXPECT_TRUE(dropOnly.drop);
  EXPECT_FALSE(dropOnly.create);

  DatabaseRights all =
      On({"GRANT ALL PRIVILEGES ON *.* TO `root`@`localhost` WITH GRANT OPTION"}, "any");
  EXPECT_TRUE(all.create && all.drop);
  EXPECT_TRUE(On({"GRANT ALL ON `shop`.* TO 'u'@'%'"}, "SHOP").create);

  // Privileges that only begin with CREATE or DROP, column lists, and grants
  // on a table or a routine give no right over the database.
  DatabaseRights near =
      On({"GRANT SELECT (a, b), CREATE VIEW, CREATE ROUTINE, CREATE TEMPORARY "
          "TABLES, DROP ROLE ON `shop`.* TO `u`@`%`",
          "GRANT CREATE, DROP ON `shop`.`t` TO `u`@`%`",
          "GRANT EXECUTE ON PROCEDURE `shop`.`p` TO `u`@`%`", "GRANT PROXY ON ''@'%' TO 'u'@'%'"},
         "shop");
  EXPECT_FALSE(near.create || near.drop);

  const std::vector<std::string> pattern = {"GRANT CREATE, DROP ON `cli\\_%`.* TO `u`@`%`",
                                            "GRANT DROP ON `a``b`.* TO `u`@`%`"};
  EXPECT_TRUE(On(pattern, "cli_x").create);
  EXPECT_TRUE(On(pattern, "cli_").create);
  EXPECT_FALSE(On(pattern, "clix").create);
  EXPECT_FALSE(On(pattern, "cl_x").create);
  EXPECT_TRUE(On(pattern, "a`b").drop);
  EXPECT_FALSE(On(pattern, "a`b").create);
}

TEST(LoginGrants, PatternWildcards) {
  EXPECT_TRUE(DatabasePatternMatches("db_%", "dbx"));
  EXPECT_TRUE(DatabasePatternMatches("db_%", "db_long_name"));
  EXPECT_FALSE(DatabasePatternMatches("db_%", "db"));
  EXPECT_TRUE(DatabasePatternMatches("%", ""));
  EXPECT_TRUE(DatabasePatternMatches("a%b%c", "aXbYbZc"));
  EXPECT_FALSE(DatabasePatternMatches("a%b%c", "aXbYbZ"));
  EXPECT_TRUE(DatabasePatternMatches("100\\%", "100%"));
  EXPECT_FALSE(DatabasePatternMatches("100\\%", "1000"));
  EXPECT_TRUE(DatabasePatternMatches("Shop", "sHOP"));
}

TEST(LoginGrants, PartialRevokesTakeAwayFromGlobalGrants) {
  const std::vector<std::string> lines = {"GRANT CREATE, DROP ON *.* TO `u`@`%`",
                                          "REVOKE CREATE ON `shop`.* FROM `u`@`%`"};
  EXPECT_FALSE(On(lines, "shop").create);
  EXPECT_TRUE(On(lines, "shop").drop);
  EXPECT_TRUE(On(lines, "shops").create);
}

TEST(LoginGrants, RolesAreReadWithTheirOwnRoles) {
  std::map<std::string, std::vector<std::string>> answers = {
      {"SHOW GRANTS",
       {"GRANT USAGE ON *.* TO `u`@`%`", "GRANT `dropper` TO `u`@`%`",
        "SET DEFAULT ROLE `dropper` FOR `u`@`%`", "GRANT SELECT ON `x`.* TO PUBLIC"}},
      {"SHOW GRANTS FOR `dropper`",
       {"GRANT DROP ON `shop`.* TO `dropper`", "GRANT `maker`@`%`,`dropper` TO `dropper`"}},
      {"SHOW GRANTS FOR `maker`@`%`", {"GRANT CREATE ON `sh%`.* TO `maker`@`%`"}},
  };
  std::vector<std::string> asked;
  auto query = [&](const std::string& text) -> std::optional<std::vector<std::string>> {
    asked.push_back(text);
    auto found = answers.find(text);
    if (found == answers.end()) return std::nullopt;
    return found->second;
  };
  std::optional<LoginGrants> grants = ReadLoginGrants(query);
  ASSERT_TRUE(grants);
  EXPECT_EQ(asked.size(), 3u);  // each role once
  EXPECT_TRUE(grants->On("shop").create);
  EXPECT_TRUE(grants->On("shop").drop);

  // A role whose grants cannot be read, a line not understood, or an answer
  // that grants nothing at all: the grants are not to be trusted.
  answers.erase("SHOW GRANTS FOR `maker`@`%`");
  EXPECT_FALSE(ReadLoginGrants(query));
  answers["SHOW GRANTS"] = {"GRANT USAGE ON *.* TO `u`@`%`", "DENY ALL"};
  EXPECT_FALSE(ReadLoginGrants(query));
  answers["SHOW GRANTS"] = {};
  EXPECT_FALSE(ReadLoginGrants(query));
}

}  // namespace
}  // namespace bracken::target
