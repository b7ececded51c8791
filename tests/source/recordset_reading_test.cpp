// A recordset read the way the row copy reads it: each field's size, then
// its value, field after field. Long values are read once and kept for the
// second question; these tests make sure what is kept never leaks into
// another field, row or storage form.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/source_access.h"
#include "tests/support/fixture_writer.h"

namespace bracken::testing {
namespace {

std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

std::string Blob(size_t size, int seed) {
  std::string blob(size, '\0');
  for (size_t i = 0; i < size; ++i) blob[i] = static_cast<char>(i * 13 + seed);
  return blob;
}

size_t Utf16Units(const std::string& utf8) {
  size_t units = 0;
  for (unsigned char c : utf8) units += ((c & 0xC0) != 0x80) + (c >= 0xF0);
  return units;
}

TEST(RecordsetReading, SizeThenValueOfLongValuesInEveryStorageForm) {
  FixtureTable t;
  t.name = "Mixed";
  FixtureColumn wide = MakeColumn("Wide", ColumnKind::Memo);
  wide.compressedText = false;
  t.columns = {MakeColumn("Note", ColumnKind::Memo), MakeColumn("Data", ColumnKind::Ole), wide,
               MakeColumn("Name", ColumnKind::Text)};
  // Each row mixes forms, so that consecutive fields and rows alternate
  // between the row itself, shared long-value pages and chains.
  const std::vector<std::string> texts = {"short", Repeat("a page of text ", 60),
                                          Repeat("Wörter ", 1500), Repeat("😀", 3000), ""};
  const std::vector<std::string> blobs = {Blob(12, 1), Blob(3000, 2), Blob(20000, 3), Blob(0, 4)};
  std::vector<std::vector<FixtureValue>> expected;
  for (int64_t i = 0; i < 60; ++i) {
    std::vector<FixtureValue> row = {texts[i % texts.size()], blobs[i % blobs.size()],
                                     texts[(i + 2) % texts.size()],
                                     "row " + std::to_string(i) + " ✓"};
    if (i % 7 == 3) row[1] = std::monostate{};
    t.rows.push_back(row);
    expected.push_back(row);
  }
  FixtureDatabase database;
  database.tables = {t};
  source::Catalog catalog;
  catalog.OpenBuffer(WriteJet4(database));
  source::Recordset recordset;
  recordset.Open("SELECT * FROM [Mixed]", catalog);
  size_t row = 0;
  for (; !recordset.Eof(); recordset.MoveNext(), ++row) {
    ASSERT_LT(row, expected.size());
    source::Fields fields = recordset.Fields();
    for (long f = 0; f < fields.Count(); ++f) {
      const FixtureValue& want = expected[row][static_cast<size_t>(f)];
      source::Field field = fields.Item(f);
      long size = field.ActualSize();
      source::Variant value = field.Value();
      if (std::holds_alternative<std::monostate>(want)) {
        EXPECT_EQ(size, 0);
        EXPECT_TRUE(value.IsNull());
        continue;
      }
      const std::string& text = std::get<std::string>(want);
      bool binary = f == 1;
      EXPECT_EQ(size, static_cast<long>(binary ? text.size() : 2 * Utf16Units(text)))
          << row << "/" << f;
      EXPECT_EQ(binary ? value.Bytes() : value.ToText(), text) << row << "/" << f;
      // Asked again, after another field's long value, the same value.
      long other = (f + 1) % fields.Count();
      fields.Item(other).Value();
      EXPECT_EQ(field.ActualSize(), size) << row << "/" << f;
      EXPECT_EQ(binary ? field.Value().Bytes() : field.Value().ToText(), text) << row << "/" << f;
    }
  }
  EXPECT_EQ(row, expected.size());
}

}  // namespace
}  // namespace bracken::testing
