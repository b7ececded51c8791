#include "engine/rows/value_literal.h"

#include <gtest/gtest.h>

#include "engine/rows/date_text.h"

namespace bracken::engine {
namespace {

using namespace std::string_literals;

TEST(MakeValueLiteral, EmptyValuesAreEmptyTextsForTextTypesAndNullOtherwise) {
  for (const char* type : {"INT", "BIT", "DOUBLE", "DATETIME", "LONGBLOB", "TINYINT UNSIGNED"}) {
    EXPECT_EQ(MakeValueLiteral("", type), "NULL,") << type;
  }
  for (const char* type : {"VARCHAR(50)", "CHAR(10)", "TEXT", "LONGTEXT", "varchar(5)"}) {
    EXPECT_EQ(MakeValueLiteral("", type), "'',") << type;
  }
}

TEST(MakeValueLiteral, NumbersBooleansAndQuotedKinds) {
  EXPECT_EQ(MakeValueLiteral("-1", "BIT"), "1,");
  EXPECT_EQ(MakeValueLiteral("0", "BIT"), "0,");
  EXPECT_EQ(MakeValueLiteral("True", "BIT"), "True,");
  EXPECT_EQ(MakeValueLiteral("42", "INT"), "42,");
  EXPECT_EQ(MakeValueLiteral("-7", "smallint"), "-7,");
  EXPECT_EQ(MakeValueLiteral("7", "TINYINT UNSIGNED"), "'7',");
  EXPECT_EQ(MakeValueLiteral("5", "DOUBLE"), "5.0,");
  EXPECT_EQ(MakeValueLiteral("2.25", "DOUBLE"), "2.25,");
  EXPECT_EQ(MakeValueLiteral("12", "DECIMAL(19, 4)"), "12.0,");
  EXPECT_EQ(MakeValueLiteral("-0.0001", "DECIMAL(19, 4)"), "-0.0001,");
  // An exponent is already a valid number: adding ".0" would break it.
  EXPECT_EQ(MakeValueLiteral("1E+20", "DOUBLE"), "1E+20,");
  EXPECT_EQ(MakeValueLiteral("1e-07", "FLOAT"), "1e-07,");
}

TEST(MakeValueLiteral, TextIsEscapedForAStringLiteral) {
  EXPECT_EQ(MakeValueLiteral("O'Brien", "VARCHAR(50)"), "'O\\'Brien',");
  // Backslashes are kept, doubled, never turned into slashes.
  EXPECT_EQ(MakeValueLiteral("C:\\dir", "VARCHAR(50)"), "'C:\\\\dir',");
  EXPECT_EQ(MakeValueLiteral("a\\'b", "TEXT"), "'a\\\\\\'b',");
  EXPECT_EQ(MakeValueLiteral("x\0y"s, "LONGTEXT"), "'x\\0y',");
  EXPECT_EQ(MakeValueLiteral("say \"hi\"", "TEXT"), "'say \"hi\"',");
  EXPECT_EQ(EscapeText("plain"), "plain");
}

TEST(MakeValueLiteral, BinaryBytesAreUnquotedHexButOtherBlobValuesStayQuoted) {
  EXPECT_EQ(MakeValueLiteral("0x0aff00", "LONGBLOB"), "0x0aff00,");
  EXPECT_EQ(MakeValueLiteral("0x0aff00", "BLOB"), "0x0aff00,");
  EXPECT_EQ(MakeValueLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}", "TINYBLOB"),
            "'{6F9619FF-8B86-D011-B42D-00C04FC964FF}',");
  EXPECT_EQ(MakeValueLiteral("0xabc", "LONGBLOB"), "'0xabc',");  // odd digit count
  EXPECT_EQ(MakeValueLiteral("0xzz", "LONGBLOB"), "'0xzz',");
  EXPECT_EQ(MakeValueLiteral("0x0aff00", "VARCHAR(10)"), "'0x0aff00',");
  // Empty bytes are an empty value, not NULL, and "0x" alone is no literal.
  EXPECT_EQ(MakeValueLiteral("0x", "LONGBLOB"), "X'',");
  EXPECT_EQ(MakeValueLiteral("0x", "BLOB"), "X'',");
}

TEST(MakeValueLiteral, Dates) {
  EXPECT_EQ(MakeValueLiteral("5/3/2009", "DATE"), "'2009-05-03',");
  EXPECT_EQ(MakeValueLiteral("5/3/2009", "DATETIME"), "'2009-05-03',");
  EXPECT_EQ(MakeValueLiteral("5/3/2009 14:30:00", "DATE"), "'2009-05-03',");
  // A 24-hour time in a date-time column keeps its time.
  EXPECT_EQ(MakeValueLiteral("5/3/2009 14:30:00", "DATETIME"), "'2009-05-03 14:30:00',");
  EXPECT_EQ(MakeValueLiteral("5/3/2009 14:30:00", "TIMESTAMP"), "'2009-05-03 14:30:00',");
  // 12-hour texts are left to the row copy's full date-time literal.
  EXPECT_EQ(MakeValueLiteral("3/15/2008 2:30:00 PM", "DATETIME"), "'',");
  EXPECT_EQ(MakeValueLiteral("3/15/2008 2:30:00 pm", "TIMESTAMP"), "'',");
  EXPECT_EQ(MakeValueLiteral("not a date", "DATE"), "'Invalid DateTime',");
  EXPECT_EQ(MakeValueLiteral("2/30/2009", "DATE"), "'Invalid DateTime',");
}

TEST(MakeDateTimeLiteral, WritesTheFullDateAndTime) {
  EXPECT_EQ(MakeDateTimeLiteral("3/15/2008 2:30:00 PM"), "'2008-03-15 14:30:00',");
  EXPECT_EQ(MakeDateTimeLiteral("3/15/2008 12:00:01 AM"), "'2008-03-15 00:00:01',");
  EXPECT_EQ(MakeDateTimeLiteral("3/15/2008 12:59:59 PM"), "'2008-03-15 12:59:59',");
  EXPECT_EQ(MakeDateTimeLiteral("2:30:00 PM"), "'1899-12-30 14:30:00',");
  EXPECT_EQ(MakeDateTimeLiteral("1/1/100 11:00:00 AM"), "'0100-01-01 11:00:00',");
  EXPECT_EQ(MakeDateTimeLiteral("12/31/9999 11:59:59 PM"), "'9999-12-31 23:59:59',");
  EXPECT_EQ(MakeDateTimeLiteral("13:00:00 PM"), "'Invalid DateTime',");
  EXPECT_EQ(MakeDateTimeLiteral("3/15/2008 2:30:00 PM junk"), "'Invalid DateTime',");
}

TEST(ParseDateTimeText, AcceptsWhatTheSourceRendersAndRejectsTheRest) {
  auto leap = ParseDateTimeText("2/29/2000");
  ASSERT_TRUE(leap);
  EXPECT_EQ(leap->day, 29);
  EXPECT_EQ(leap->hour, 0);
  EXPECT_FALSE(ParseDateTimeText("2/29/1900"));
  EXPECT_FALSE(ParseDateTimeText("0/1/2000"));
  EXPECT_FALSE(ParseDateTimeText("1/1/2000 24:00:00"));
  EXPECT_FALSE(ParseDateTimeText("1/1/2000 10:60:00"));
  EXPECT_FALSE(ParseDateTimeText(""));
  auto time = ParseDateTimeText("23:05:09");
  ASSERT_TRUE(time);
  EXPECT_EQ(time->year, 1899);
  EXPECT_EQ(time->month, 12);
  EXPECT_EQ(time->day, 30);
  EXPECT_EQ(time->hour, 23);
  EXPECT_EQ(time->second, 9);
}

}  // namespace
}  // namespace bracken::engine
