// How verify compares cells: the forms in which Access values and the
// server's texts meet, and the order of canonical keys.

#include "engine/verify/verify_cell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace bracken::engine {
namespace {

std::string FromAccess(const std::string& text, TypeClass type) {
  TargetValue value;
  ValueFromText(text, type, true, value);
  std::string out;
  AppendCanonical(out, value);
  return out;
}

std::string FromServer(CellKind kind, const char* cell) {
  std::string out;
  AppendCanonical(out, kind, cell == nullptr, cell == nullptr ? "" : cell);
  return out;
}

std::string FromServerBytes(const std::string& bytes) {
  std::string out;
  AppendCanonical(out, CellKind::Bytes, false, bytes);
  return out;
}

TEST(VerifyCell, EqualValuesMeetWhateverFormTheServerWritesThemIn) {
  // A Single compares as a float: the server's double of the float is equal.
  EXPECT_EQ(FromAccess("0.1", TypeClass::Float),
            FromServer(CellKind::Float, "0.10000000149011612"));
  EXPECT_NE(FromAccess("0.1", TypeClass::Float), FromServer(CellKind::Float, "0.1000001"));
  // A Double compares as a double, to the last bit.
  EXPECT_EQ(FromAccess("0.30000000000000004", TypeClass::Double),
            FromServer(CellKind::Double, "0.30000000000000004"));
  EXPECT_NE(FromAccess("0.3", TypeClass::Double),
            FromServer(CellKind::Double, "0.30000000000000004"));
  EXPECT_EQ(FromAccess("5", TypeClass::Double), FromServer(CellKind::Double, "5"));
  EXPECT_EQ(FromAccess("-0", TypeClass::Double), FromServer(CellKind::Double, "0"));
  // Decimals exactly, trailing zeros aside.
  EXPECT_EQ(FromAccess("12.5", TypeClass::Decimal), FromServer(CellKind::Decimal, "12.5000"));
  EXPECT_EQ(FromAccess("-0.0001", TypeClass::Decimal), FromServer(CellKind::Decimal, "-0.0001"));
  EXPECT_EQ(FromAccess("0", TypeClass::Decimal), FromServer(CellKind::Decimal, "-0.0000"));
  EXPECT_NE(FromAccess("12.5", TypeClass::Decimal), FromServer(CellKind::Decimal, "12.5001"));
  EXPECT_NE(FromAccess("125", TypeClass::Decimal), FromServer(CellKind::Decimal, "12.5"));
  // Yes/No as 1 and 0.
  EXPECT_EQ(FromAccess("-1", TypeClass::Bit), FromServer(CellKind::Integer, "1"));
  EXPECT_EQ(FromAccess("0", TypeClass::Bit), FromServer(CellKind::Integer, "0"));
  EXPECT_EQ(FromAccess("7", TypeClass::QuotedInteger), FromServer(CellKind::Integer, "7"));
  // Dates to the second; a date alone is at midnight.
  EXPECT_EQ(FromAccess("3/15/2008 2:30:00 PM", TypeClass::DateTime),
            FromServer(CellKind::DateTime, "2008-03-15 14:30:00"));
  EXPECT_EQ(FromAccess("5/3/2009", TypeClass::DateTime),
            FromServer(CellKind::DateTime, "2009-05-03 00:00:00"));
  EXPECT_EQ(FromAccess("5/3/2009 14:30:00", TypeClass::DateTime),
            FromServer(CellKind::DateTime, "2009-05-03 14:30:00.000000"));
  EXPECT_NE(FromAccess("5/3/2009 14:30:00", TypeClass::DateTime),
            FromServer(CellKind::DateTime, "2009-05-03 14:30:01"));
  // Text and bytes byte for byte; a null text in a text column is ''.
  EXPECT_EQ(FromAccess("", TypeClass::Text), FromServer(CellKind::Text, ""));
  EXPECT_NE(FromAccess("", TypeClass::Text), FromServer(CellKind::Text, nullptr));
  EXPECT_NE(FromAccess("abc", TypeClass::Text), FromServer(CellKind::Text, "abc "));
  EXPECT_NE(FromAccess("abc", TypeClass::Text), FromServer(CellKind::Text, "ABC"));
  EXPECT_EQ(FromAccess("0x00ff", TypeClass::Blob), FromServerBytes(std::string("\x00\xff", 2)));
  EXPECT_EQ(FromAccess("", TypeClass::Double), FromServer(CellKind::Double, nullptr));
}

// The Access 2007 types: Large Number exactly, beyond a double's 53 bits;
// Date/Time Extended to the microsecond, the file's seventh digit cut (not
// rounded) as the server cuts it.
TEST(VerifyCell, LargeNumbersAndExtendedDatesCompareAsTheServerHoldsThem) {
  EXPECT_EQ(FromAccess("9223372036854775807", TypeClass::Integer),
            FromServer(CellKind::Integer, "9223372036854775807"));
  EXPECT_NE(FromAccess("9007199254740993", TypeClass::Integer),
            FromServer(CellKind::Integer, "9007199254740992"));
  EXPECT_NE(FromAccess("-9223372036854775808", TypeClass::Integer),
            FromServer(CellKind::Integer, "-9223372036854775807"));
  auto fine = [](const char* text) { return FromServer(CellKind::FineDateTime, text); };
  EXPECT_EQ(fine("2021-06-14 22:45:12.3456789"), fine("2021-06-14 22:45:12.345678"));
  EXPECT_NE(fine("2021-06-14 22:45:12.3456789"), fine("2021-06-14 22:45:12.345679"));
  EXPECT_EQ(fine("0100-06-14 12:45:00.0000000"), fine("0100-06-14 12:45:00.000000"));
  EXPECT_EQ(fine("2020-06-17 00:00:00"), fine("2020-06-17 00:00:00.000000"));
  EXPECT_NE(fine("2020-06-17 00:00:00.0000001"), fine("2020-06-17 00:00:00.000001"));
  EXPECT_NE(fine("2020-06-17 00:00:00.000000"), FromServer(CellKind::FineDateTime, nullptr));
  EXPECT_NE(fine("2020-06-17 00:00:00.000000"),
            FromServer(CellKind::Text, "2020-06-17 00:00:00.000000"));
  // Canonical keys of extended dates sort as the dates.
  EXPECT_LT(fine("0999-12-31 23:59:59.999999"), fine("1000-01-01 00:00:00.0000000"));
}

// A column whose type was changed sends texts that are no numbers or dates;
// they never equal a value of the planned kind.
TEST(VerifyCell, TextsOfAnotherKindNeverEqualANumberOrDate) {
  EXPECT_NE(FromAccess("12", TypeClass::Integer), FromServer(CellKind::Integer, "12abc"));
  EXPECT_NE(FromAccess("12", TypeClass::Integer), FromServer(CellKind::Integer, "12.0"));
  EXPECT_NE(FromAccess("1.5", TypeClass::Double), FromServer(CellKind::Double, "1.5x"));
  EXPECT_NE(FromAccess("5/3/2009", TypeClass::DateTime),
            FromServer(CellKind::DateTime, "not a date"));
  EXPECT_NE(FromAccess("12", TypeClass::Text), FromServer(CellKind::Integer, "12"));
}

// Canonical keys sort as the server sorts the key columns, so that both
// sides pair in one pass.
TEST(VerifyCell, CanonicalKeysSortAsTheServerSortsThem) {
  auto sorted = [](CellKind kind, std::vector<const char*> cells) {
    std::vector<std::string> keys;
    for (const char* cell : cells) keys.push_back(FromServer(kind, cell));
    return std::is_sorted(keys.begin(), keys.end()) &&
           std::adjacent_find(keys.begin(), keys.end()) == keys.end();
  };
  EXPECT_TRUE(sorted(CellKind::Integer,
                     {nullptr, "-9223372036854775808", "-70000", "-1", "0", "1", "255", "70000"}));
  EXPECT_TRUE(sorted(CellKind::Double, {nullptr, "-1e300", "-2.5", "-1e-300", "0", "1e-300", "0.5",
                                        "2", "10", "1e300"}));
  EXPECT_TRUE(sorted(CellKind::Float, {"-3.4e38", "-1", "0", "1.5", "3.4e38"}));
  EXPECT_TRUE(sorted(CellKind::Decimal, {"-100.5", "-100.25", "-99", "-0.001", "0", "0.0001",
                                         "0.001", "0.5", "1", "1.25", "9.99", "10", "100.5"}));
  EXPECT_TRUE(sorted(CellKind::DateTime, {"0100-01-01 00:00:00", "1899-12-30 00:00:00",
                                          "2008-03-15 14:30:00", "9999-12-31 23:59:59"}));
  std::vector<std::string> texts = {"", std::string("a\0", 2), "a", "ab", "b", "\xc3\xa9"};
  std::vector<std::string> keys;
  for (const std::string& text : texts) {
    std::string key;
    AppendCanonical(key, CellKind::Text, false, text);
    keys.push_back(key);
  }
  std::vector<std::string> byBytes = texts;
  std::sort(byBytes.begin(), byBytes.end());
  std::vector<std::size_t> order(texts.size()), expected(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) order[i] = expected[i] = i;
  std::sort(order.begin(), order.end(), [&](auto a, auto b) { return keys[a] < keys[b]; });
  std::sort(expected.begin(), expected.end(), [&](auto a, auto b) { return texts[a] < texts[b]; });
  EXPECT_EQ(order, expected);
}

TEST(VerifyCell, PlannedTypesMatchTheServersColumnTypes) {
  EXPECT_TRUE(SameColumnType("INT", "int(11)"));
  EXPECT_TRUE(SameColumnType("TINYINT UNSIGNED", "tinyint(3) unsigned"));
  EXPECT_TRUE(SameColumnType("TINYINT UNSIGNED", "tinyint unsigned"));
  EXPECT_TRUE(SameColumnType("BIT", "bit(1)"));
  EXPECT_TRUE(SameColumnType("DECIMAL(19, 4)", "decimal(19,4)"));
  EXPECT_TRUE(SameColumnType("VARCHAR(50)", "varchar(50)"));
  EXPECT_TRUE(SameColumnType("LONGTEXT", "longtext"));
  EXPECT_FALSE(SameColumnType("VARCHAR(50)", "varchar(10)"));
  EXPECT_FALSE(SameColumnType("INT", "bigint(20)"));
  EXPECT_FALSE(SameColumnType("DOUBLE", "float"));
  EXPECT_FALSE(SameColumnType("DECIMAL(19, 4)", "decimal(30,6)"));
  EXPECT_FALSE(SameColumnType("BIT", "bit(8)"));
}

TEST(VerifyCell, EmptyBytesDifferFromNullButANullTextIsAnEmptyText) {
  EXPECT_EQ(FromAccess("0x", TypeClass::Blob), FromServerBytes(""));
  EXPECT_NE(FromAccess("0x", TypeClass::Blob), FromServer(CellKind::Bytes, nullptr));
  EXPECT_NE(FromAccess("", TypeClass::Blob), FromServerBytes(""));
  EXPECT_EQ(FromAccess("", TypeClass::Blob), FromServer(CellKind::Bytes, nullptr));
  EXPECT_EQ(FromAccess("", TypeClass::Text), FromServer(CellKind::Text, ""));
  TargetValue value;
  ValueFromText("0x", TypeClass::Blob, false, value);
  EXPECT_EQ(DisplayValue(value), "X''");
  EXPECT_EQ(DisplayCell(CellKind::Bytes, false, ""), "X''");
  EXPECT_EQ(DisplayCell(CellKind::Bytes, true, ""), "NULL");
}

TEST(VerifyCell, LongValuesAreShortenedInTheReport) {
  EXPECT_EQ(DisplayCell(CellKind::Text, false, std::string(50, 'x'), 10), "'xxxxxxxxxx...'");
  // Never inside a UTF-8 character.
  EXPECT_EQ(DisplayCell(CellKind::Text, false, "abcdefghi\xc3\xa9xyz", 10), "'abcdefghi...'");
  EXPECT_EQ(DisplayCell(CellKind::Bytes, false, std::string(100, '\x01'), 12),
            "0x0101010101... (100 bytes)");
  EXPECT_EQ(DisplayCell(CellKind::Integer, true, "", 10), "NULL");
  TargetValue value;
  ValueFromText("0x00ff", TypeClass::Blob, false, value);
  EXPECT_EQ(DisplayValue(value), "0x00ff");
}

TEST(VerifyCell, ControlCharactersAreShownEscapedSoThatNoDifferenceIsInvisible) {
  EXPECT_EQ(DisplayCell(CellKind::Text, false, std::string("a\r\nb\tc\0d\x1b[0m\x7f", 13)),
            "'a\\r\\nb\\tc\\0d\\x1b[0m\\x7f'");
  EXPECT_EQ(DisplayCell(CellKind::Text, false, "a\nb"), "'a\\nb'");
  // A backslash doubles, so a text that holds one never reads as an escape.
  EXPECT_EQ(DisplayCell(CellKind::Text, false, "C:\\new"), "'C:\\\\new'");
  EXPECT_EQ(DisplayCell(CellKind::Text, false, "\xc3\xa9t\xc3\xa9"), "'\xc3\xa9t\xc3\xa9'");
  // The cut counts the text's own bytes, never an escape's.
  EXPECT_EQ(DisplayCell(CellKind::Text, false, std::string(8, '\n'), 4), "'\\n\\n\\n\\n...'");
  TargetValue value;
  ValueFromText("x\ry", TypeClass::Text, false, value);
  EXPECT_EQ(DisplayValue(value), "'x\\ry'");
}

TEST(VerifyCell, LongValuesThatDifferAreDescribedByWhereTheyFirstDiffer) {
  TargetValue file;
  ValueFromText(std::string(100, 'a') + "line\r\nnext" + std::string(100, 'z'), TypeClass::Text,
                false, file);
  const std::string server = std::string(100, 'a') + "line\nnext" + std::string(100, 'z');
  EXPECT_EQ(FirstDifference(file, CellKind::Text, false, server, 20),
            "first differs at character 105 (of 210 in the file, 209 in MySQL): "
            "'...aline\\r\\nnextzzzzzzzzz...' in the file, '...aline\\nnextzzzzzzzzzz...' in "
            "MySQL");
  // Characters, not bytes; one value the start of the other.
  ValueFromText("\xc3\xa9\xc3\xa9\xc3\xa9" + std::string(50, 'b'), TypeClass::Text, false, file);
  EXPECT_EQ(FirstDifference(file, CellKind::Text, false, "\xc3\xa9\xc3\xa9\xc3\xa8", 20),
            "first differs at character 3 (of 53 in the file, 3 in MySQL): "
            "'\xc3\xa9\xc3\xa9\xc3\xa9"
            "bbbbbbbbbbbbbb...' in the file, '\xc3\xa9\xc3\xa9\xc3\xa8' "
            "in MySQL");
  // Bytes count in bytes.
  ValueFromText("0x" + std::string(64, '0') + "ff", TypeClass::Blob, false, file);
  EXPECT_EQ(FirstDifference(file, CellKind::Bytes, false, std::string(33, '\0'), 20),
            "first differs at byte 33 (of 33 in the file, 33 in MySQL): ...0000ff in the file, "
            "...000000 in MySQL");
  // Short values, NULLs and values of other kinds are shown whole instead.
  ValueFromText("short", TypeClass::Text, false, file);
  EXPECT_EQ(FirstDifference(file, CellKind::Text, false, "shorter", 20), "");
  ValueFromText(std::string(50, 'c'), TypeClass::Text, false, file);
  EXPECT_EQ(FirstDifference(file, CellKind::Text, true, "", 20), "");
  EXPECT_EQ(FirstDifference(file, CellKind::Integer, false, "5", 20), "");
}

}  // namespace
}  // namespace bracken::engine
