// Stored text into UTF-8: Jet 4's UCS-2 in both forms, Jet 3's code pages,
// and the length in UTF-16 units reported without decoding.

#include "source/jet/text_decoding.h"

#include <gtest/gtest.h>

#include <string>

namespace bracken::source::jet {
namespace {

std::string Jet4(const std::string& stored) { return DecodeText(Bytes(stored), false, 0); }

TEST(TextDecoding, Jet4PlainAndCompressedUnicode) {
  EXPECT_EQ(Jet4(std::string("a\0\xE9\0", 4)), "aé");
  EXPECT_EQ(Jet4(std::string("\xFF\xFE"
                             "abc",
                             5)),
            "abc");
  // Compressed runs and two-byte runs alternate at each zero byte.
  EXPECT_EQ(Jet4(std::string("\xFF\xFE"
                             "ab\0\xAC\x20\0c",
                             9)),
            "ab€c");
  // A surrogate pair becomes one four-byte character; a lone one U+FFFD.
  EXPECT_EQ(Jet4(std::string("\x3D\xD8\x00\xDE", 4)), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Jet4(std::string("\x3D\xD8", 2)), "\xEF\xBF\xBD");
  // An odd trailing byte is dropped rather than read past.
  EXPECT_EQ(Jet4(std::string("a\0b", 3)), "a");
  // A pair in a two-byte run of compressed text is one character too.
  EXPECT_EQ(Jet4(std::string("\xFF\xFE"
                             "a\0\x3D\xD8\x01\xDE\0b",
                             10)),
            "a\xF0\x9F\x98\x81"
            "b");
  // Long runs of either form, with characters of every UTF-8 length.
  std::string stored("\xFF\xFE", 2), expected;
  for (int i = 0; i < 300; ++i) {
    stored += static_cast<char>(0x41 + i % 26);
    expected += static_cast<char>(0x41 + i % 26);
  }
  stored += std::string("\xE9", 1);
  expected += "é";
  stored += std::string("\0", 1);
  for (int i = 0; i < 300; ++i) {
    stored += std::string("\xAC\x20\xE9\x00", 4);
    expected += "€é";
  }
  EXPECT_EQ(Jet4(stored), expected);
  EXPECT_EQ(StoredTextUnits(Bytes(stored), false), 901u);
}

TEST(TextDecoding, Jet3CodePages) {
  EXPECT_EQ(DecodeText(Bytes(std::string("\x80\xE9")), true, 1252), "€é");
  EXPECT_EQ(DecodeText(Bytes(std::string("\x80\xE9")), true, 0), "€é");
  EXPECT_EQ(DecodeText(Bytes(std::string("\xC0\xFF")), true, 1251), "Ая");
  EXPECT_EQ(DecodeText(Bytes(std::string("\xC1")), true, 1253), "Α");
  EXPECT_EQ(DecodeText(Bytes(std::string("plain")), true, 1251), "plain");
}

TEST(TextDecoding, UnitsWithoutDecoding) {
  EXPECT_EQ(StoredTextUnits(Bytes(std::string("a\0b\0", 4)), false), 2u);
  EXPECT_EQ(StoredTextUnits(Bytes(std::string("\xFF\xFE"
                                              "ab\0\xAC\x20\0c",
                                              9)),
                            false),
            4u);
  EXPECT_EQ(StoredTextUnits(Bytes(std::string("abc")), true), 3u);
  EXPECT_EQ(Utf16Length("a€\xF0\x9F\x98\x80"), 4u);
  // A double-byte code page counts characters, not bytes.
  EXPECT_EQ(TextUnits(Bytes(std::string("\x82\xA0"
                                        "a")),
                      true, 932),
            2u);
  EXPECT_EQ(TextUnits(Bytes(std::string("\x80\xE9")), true, 1252), 2u);
}

}  // namespace
}  // namespace bracken::source::jet
