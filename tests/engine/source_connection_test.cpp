#include "engine/source_connection.h"

#include <gtest/gtest.h>

#include "engine/schema/identifier.h"

namespace bracken::engine {
namespace {

TEST(SourceConnectionTest, ConnectionTextKeepsPathAndPasswordAsGiven) {
  EXPECT_EQ(BuildConnectionText("/data/x.mdb", ""),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/x.mdb;Jet OLEDB:Database "
            "Password=");
  EXPECT_EQ(BuildConnectionText("", "a;b"),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=;Jet OLEDB:Database Password=a;b");
}

TEST(SourceConnectionTest, OpenFailuresAreClassifiedByTheirDescription) {
  const std::string invalid = "Please select valid MS Access Database.";
  EXPECT_EQ(ClassifyOpenFailure("Not a valid password."),
            "Selected database is Password Protected.\nPlease enter valid password to open "
            "database.");
  EXPECT_EQ(ClassifyOpenFailure("Not a valid password"), "Not a valid password");
  EXPECT_EQ(ClassifyOpenFailure("Authentication failed."), invalid);
  EXPECT_EQ(ClassifyOpenFailure("Unrecognized database format '/x.mdb'."), invalid);
  EXPECT_EQ(ClassifyOpenFailure("unrecognized database format"), "unrecognized database format");
  EXPECT_EQ(ClassifyOpenFailure("Could not find file '/x.mdb'."), invalid);
  EXPECT_EQ(ClassifyOpenFailure("The file Could not find file here"), invalid);
  EXPECT_EQ(ClassifyOpenFailure(""), "");
}

TEST(SourceConnectionTest, SourceErrorMessageLayout) {
  source::SourceError error(-2147217865, "Bracken Access Reader", "No such table.");
  EXPECT_EQ(SourceErrorMessage(error),
            "\nBracken Access Reader Error: -2147217865\r\nNo such table.\r\n\r\n");
}

TEST(IdentifierTest, BackticksAreDoubledAndCharactersCounted) {
  EXPECT_EQ(QuoteIdentifier("Orders"), "`Orders`");
  EXPECT_EQ(QuoteIdentifier("mysql`.`user"), "`mysql``.``user`");
  EXPECT_EQ(QuoteIdentifier(""), "``");
  EXPECT_EQ(CharacterCount("abc"), 3u);
  EXPECT_EQ(CharacterCount("\xc3\xa9t\xc3\xa9"), 3u);
  EXPECT_EQ(CharacterCount("\xe6\x97\xa5\xf0\x9f\x98\x80"), 2u);
}

}  // namespace
}  // namespace bracken::engine
