// Values as text in the program's fixed conventions, and the parsing of the
// connection text.

#include <gtest/gtest.h>

#include "source/connection_text.h"
#include "source/source_access.h"

namespace bracken::source {
namespace {

TEST(ValueText, DatesShowDateAndTimeAsAccessDoes) {
  // 15 March 2008 is day 39522.
  EXPECT_EQ(Variant::Date(39522 + 14.5 / 24).ToText(), "3/15/2008 2:30:00 PM");
  EXPECT_EQ(Variant::Date(39522).ToText(), "3/15/2008");
  EXPECT_EQ(Variant::Date(0.5).ToText(), "12:00:00 PM");
  EXPECT_EQ(Variant::Date(0).ToText(), "12:00:00 AM");
  EXPECT_EQ(Variant::Date(1.0 / 24 / 60 / 60 * 3661).ToText(), "1:01:01 AM");
  EXPECT_EQ(Variant::Date(2).ToText(), "1/1/1900");
  // Before 30 December 1899 the fraction still counts forward from midnight.
  EXPECT_EQ(Variant::Date(-1.25).ToText(), "12/29/1899 6:00:00 AM");
  // Rounded to the second, carrying into the next day.
  EXPECT_EQ(Variant::Date(39522 + 0.9999999).ToText(), "3/16/2008");
  EXPECT_EQ(Variant::Date(2958465).ToText(), "12/31/9999");
  // ... but not past the last day Access has.
  EXPECT_EQ(Variant::Date(2958465.99999).ToText(), "12/31/9999 11:59:59 PM");
  EXPECT_EQ(Variant::Date(2958465.999999).ToText(), "12/31/9999 11:59:59 PM");
  EXPECT_THROW(Variant::Date(2958466).ToText(), SourceError);
  EXPECT_EQ(Variant::Date(-657434).ToText(), "1/1/100");
  EXPECT_EQ(Variant::Date(-657434.5).ToText(), "1/1/100 12:00:00 PM");
  EXPECT_THROW(Variant::Date(-657435).ToText(), SourceError);
  EXPECT_THROW(Variant::Date(-700000).ToText(), SourceError);
  EXPECT_THROW(Variant::Date(3000000).ToText(), SourceError);
  EXPECT_THROW(Variant::Date(1e300).ToText(), SourceError);
}

TEST(ValueText, NumbersInShortestExactForm) {
  EXPECT_EQ(Variant::Double(444.555).ToText(), "444.555");
  EXPECT_EQ(Variant::Double(0.1).ToText(), "0.1");
  EXPECT_EQ(Variant::Single(0.1f).ToText(), "0.1");
  EXPECT_EQ(Variant::Single(3.5f).ToText(), "3.5");
  EXPECT_EQ(Variant::Double(-2).ToText(), "-2");
  EXPECT_EQ(Variant::Byte(255).ToText(), "255");
  EXPECT_EQ(Variant::Integer(-32768).ToText(), "-32768");
  EXPECT_EQ(Variant::Long(333333333).ToText(), "333333333");
  EXPECT_EQ(Variant::Boolean(true).ToText(), "-1");
  EXPECT_EQ(Variant::Boolean(false).ToText(), "0");
  EXPECT_EQ(Variant().ToText(), "");
}

TEST(ValueText, CurrencyAndDecimalExactWithoutTrailingZeros) {
  EXPECT_EQ(Variant::Currency(127500).ToText(), "12.75");
  EXPECT_EQ(Variant::Currency(30000).ToText(), "3");
  EXPECT_EQ(Variant::Currency(-1).ToText(), "-0.0001");
  EXPECT_EQ(Variant::Currency(0).ToText(), "0");
  EXPECT_EQ(Variant::Currency(INT64_MIN).ToText(), "-922337203685477.5808");
  EXPECT_EQ(Variant::Decimal(false, 4, 0, 1234500).ToText(), "123.45");
  EXPECT_EQ(Variant::Decimal(true, 2, 0, 5).ToText(), "-0.05");
  EXPECT_EQ(Variant::Decimal(true, 3, 0, 0).ToText(), "0");
  // 2^95 + 1 with no decimals: all 96 bits take part.
  EXPECT_EQ(Variant::Decimal(false, 0, 0x80000000u, 1).ToText(), "39614081257132168796771975169");
  EXPECT_EQ(Variant::Decimal(false, 28, 0, 1).ToText(), "0.0000000000000000000000000001");
}

TEST(ValueText, GuidsInAccessByteOrderAndBinaryAsRawBytes) {
  std::string bytes("\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16);
  EXPECT_EQ(Variant::Guid(bytes).ToText(), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  EXPECT_EQ(Variant::Binary(std::string("\x0a\xff\x00", 3)).ToText(),
            std::string("\x0a\xff\x00", 3));
  std::string appended = "x=";
  Variant::Text("é").AppendText(appended);
  EXPECT_EQ(appended, "x=é");
}

TEST(ValueText, ConversionsToNumbersAndBooleans) {
  EXPECT_EQ(Variant::Boolean(true).ToInt64(), -1);
  EXPECT_TRUE(Variant::Boolean(true).ToBool());
  EXPECT_FALSE(Variant::Long(0).ToBool());
  EXPECT_DOUBLE_EQ(Variant::Currency(127500).ToDouble(), 12.75);
  EXPECT_DOUBLE_EQ(Variant::Decimal(true, 2, 0, 150).ToDouble(), -1.5);
  EXPECT_THROW(Variant::Text("1").ToInt64(), SourceError);
}

TEST(ConnectionText, PathRunsToSemicolonAndPasswordToTheEnd) {
  ConnectionSettings s = ParseConnectionText(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/a b.mdb;"
      "Jet OLEDB:Database Password=pa;ss=word;");
  EXPECT_EQ(s.dataSource, "/data/a b.mdb");
  EXPECT_EQ(s.password, "pa;ss=word;");
  s = ParseConnectionText(
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=;Jet OLEDB:Database Password=");
  EXPECT_EQ(s.dataSource, "");
  EXPECT_EQ(s.password, "");
}

}  // namespace
}  // namespace bracken::source
