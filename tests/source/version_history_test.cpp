// The versions of append-only memos as child tables: the join of versions to
// the rows that own them, and the history table read from a real Access 2007
// file, whole and with a version whose row is gone.

#include "source/version_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "source/jet/catalogue.h"
#include "source/jet/data_page.h"
#include "source/jet/header.h"
#include "source/jet/page_file.h"
#include "source/jet/table_definition.h"
#include "source/jet/usage_map.h"
#include "source/source_access.h"

namespace bracken::source {
namespace {

StoredVersion Version(double date, const std::string& text) {
  return {{Variant::Date(date), 8}, {Variant::Text(text), static_cast<long>(2 * text.size())}};
}

StoredVersion Undated(const std::string& text) {
  return {{Variant(), 0}, {Variant::Text(text), static_cast<long>(2 * text.size())}};
}

std::string Texts(const std::vector<StoredVersion>& versions) {
  std::string out;
  for (const auto& version : versions) out += version.text.value.ToText() + ";";
  return out;
}

TEST(VersionHistoryJoin, EachRowTakesItsOwnVersionsOldestFirst) {
  VersionHistoryJoin join;
  join.Add(Variant::Long(5), Version(40002.5, "third"));
  join.Add(Variant::Long(5), Version(40001.0, "first"));
  join.Add(Variant::Long(5), Undated("undated"));
  join.Add(Variant::Long(5), Version(40002.0, "second a"));
  join.Add(Variant::Long(5), Version(40002.0, "second b"));  // same date: stored order
  join.Add(Variant::Long(6), Version(-1.0, "Dec 29 midnight"));
  join.Add(Variant::Long(6), Version(-1.25, "Dec 29 6:00"));

  EXPECT_EQ(Texts(join.Take(Variant::Long(5))), "undated;first;second a;second b;third;");
  EXPECT_EQ(Texts(join.Take(Variant::Long(5))), "") << "a set goes to one row only";
  EXPECT_EQ(Texts(join.Take(Variant::Long(7))), "") << "a row without versions";
  EXPECT_EQ(Texts(join.Take(Variant())), "") << "a row whose set number is empty";
  EXPECT_EQ(Texts(join.Take(Variant::Long(6))), "Dec 29 midnight;Dec 29 6:00;");
  EXPECT_TRUE(join.Leftover().empty());
  EXPECT_EQ(join.LeftoverVersions(), 0u);
}

TEST(VersionHistoryJoin, VersionsNoRowTakesAreKeptAndCounted) {
  VersionHistoryJoin join;
  join.Add(Variant::Long(9), Version(40003.0, "nine later"));
  join.Add(Variant::Long(3), Version(40000.0, "three"));
  join.Add(Variant::Long(9), Version(40001.0, "nine earlier"));
  join.Add(Variant(), Version(40000.0, "no set"));
  join.Add(Variant::Long(1), Version(40000.0, "one"));
  EXPECT_EQ(Texts(join.Take(Variant::Long(1))), "one;");
  EXPECT_EQ(Texts(join.Leftover()), "no set;three;nine earlier;nine later;");
  EXPECT_EQ(join.LeftoverVersions(), 4u);
  EXPECT_EQ(LeftoverNote(4, "Orders"),
            "4 versions belong to no row of [Orders]; they are kept at the end with empty key "
            "columns");
  EXPECT_EQ(LeftoverNote(1, "Orders"),
            "1 version belongs to no row of [Orders]; it is kept at the end with empty key "
            "columns");
}

std::string CorpusFile() {
  return std::string(BRACKEN_SHARED_DIR) + "/corpus/ace/complexDataTestV2007.accdb";
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream data;
  data << in.rdbuf();
  return data.str();
}

// Each row of the history table as "key|date|text", "NULL" for an empty cell.
std::vector<std::string> HistoryRows(const Catalog& catalog, std::vector<std::string>* damage) {
  Recordset rows;
  rows.Open("SELECT * FROM [Table1_append-memo-data_history]", catalog);
  std::vector<std::string> out;
  for (; !rows.Eof(); rows.MoveNext()) {
    std::string line;
    for (long i = 0; i < rows.Fields().Count(); ++i) {
      Variant value = rows.Fields().Item(i).Value();
      line += (i > 0 ? "|" : "") + (value.IsNull() ? std::string("NULL") : value.ToText());
    }
    out.push_back(line);
  }
  *damage = rows.Damage();
  return out;
}

// Whether a row's bytes hold the key "row4", compressed or in UTF-16.
bool HoldsRow4(std::string_view row) {
  return row.find("row4") != std::string_view::npos ||
         row.find(std::string_view("r\0o\0w\0"
                                   "4\0",
                                   8)) != std::string_view::npos;
}

class CorpusHistory : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(CorpusFile())) GTEST_SKIP() << "no corpus beside the checkout";
  }
};

// Table1 keeps [append-memo-data] append-only: row1 has no versions, row2
// and row4 one, row3 three (its current text is the latest).
TEST_F(CorpusHistory, TheVersionsAreAChildTableKeyedLikeTheirRow) {
  Catalog catalog;
  catalog.SetActiveConnection("Data Source=" + CorpusFile());
  Table history = catalog.Tables().Item("Table1_append-memo-data_history");
  EXPECT_EQ(history.Type(), "CHILD TABLE");
  EXPECT_EQ(history.Properties().Item("ParentTable").Value().ToText(), "Table1");
  EXPECT_EQ(history.Properties().Item("ParentColumn").Value().ToText(), "append-memo-data");
  EXPECT_EQ(history.StoredRowCount(), 5);
  Columns columns = history.Columns();
  ASSERT_EQ(columns.Count(), 3);
  EXPECT_EQ(columns.Item("id").Type(), adVarWChar);
  EXPECT_EQ(columns.Item("id").DefinedSize(), 255);
  EXPECT_EQ(columns.Item("Modified").Type(), adDate);
  EXPECT_EQ(columns.Item("append-memo-data").Type(), adLongVarWChar);
  EXPECT_TRUE(columns.Item("id").Properties().Item("Nullable").Value().ToBool());
  ASSERT_EQ(history.Indexes().Count(), 1);
  EXPECT_FALSE(history.Indexes().Item(0).Unique());
  EXPECT_EQ(history.Indexes().Item(0).Columns().Item(0).Name(), "id");
  // The parent keeps its current text and no column of the history.
  EXPECT_EQ(catalog.Tables().Item("Table1").Columns().Count(), 5);

  std::vector<std::string> damage;
  EXPECT_EQ(
      HistoryRows(catalog, &damage),
      (std::vector<std::string>{
          "row2|9/12/2011 9:21:02 PM|row2-memo", "row3|9/12/2011 9:21:19 PM|row3-memo",
          "row3|9/12/2011 9:22:33 PM|row3-memo-revised",
          "row3|9/12/2011 9:22:45 PM|row3-memo-again", "row4|9/12/2011 9:22:26 PM|row4-memo"}));
  EXPECT_TRUE(damage.empty());

  // Opened on its own, as the conversion opens a table by name.
  Recordset alone;
  alone.Open("SELECT * FROM [Table1_append-memo-data_history]", "Data Source=" + CorpusFile());
  EXPECT_EQ(alone.Fields().Item("append-memo-data").Value().ToText(), "row2-memo");
  EXPECT_EQ(alone.Fields().Item("append-memo-data").ActualSize(), 18);
}

// Row4's set number changed to one no version has: its version stays, last
// and without a key, and is named; row4 itself reads as before.
TEST_F(CorpusHistory, AVersionWhoseRowIsGoneIsKeptLastAndNamed) {
  std::string bytes = FileBytes(CorpusFile());
  {
    auto file = jet::PageFile::FromBuffer(bytes, "copy");
    jet::Header header = jet::ReadHeader(*file);
    uint32_t page = 0;
    for (const auto& object : jet::ReadCatalogue(file, header.format, header.codePage)) {
      if (object.name == "Table1") page = object.DefinitionPage();
    }
    auto definition = jet::ReadTableDefinition(*file, header.format, header.codePage, page);
    const jet::ColumnDefinition* versions = nullptr;
    for (const auto& column : definition->columns) {
      if (column.kind == jet::ColumnKind::Complex && column.name.rfind("Version", 0) == 0) {
        versions = &column;
      }
    }
    ASSERT_NE(versions, nullptr);
    const size_t pageSize = bytes.size() / file->PageCount();
    int patched = 0;
    for (uint32_t data : jet::ReadUsageMap(*file, header.format, definition->usageMap)) {
      jet::Bytes whole(std::string_view(bytes).substr(data * pageSize, pageSize));
      for (uint32_t n = 0; n < jet::PageRowCount(whole, header.format); ++n) {
        jet::RowSlot slot = jet::PageRow(whole, header.format, n);
        if (slot.flags != 0 || !HoldsRow4(slot.bytes.View())) continue;
        size_t at = static_cast<size_t>(slot.bytes.data() - whole.data()) + data * pageSize +
                    header.format.rowColumnCountSize + versions->fixedOffset;
        bytes[at] = 77;  // a set number no version has
        ++patched;
      }
    }
    ASSERT_EQ(patched, 1);
  }
  Catalog catalog;
  catalog.OpenBuffer(bytes);
  std::vector<std::string> damage;
  std::vector<std::string> rows = HistoryRows(catalog, &damage);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[3], "row3|9/12/2011 9:22:45 PM|row3-memo-again");
  EXPECT_EQ(rows[4], "NULL|9/12/2011 9:22:26 PM|row4-memo");
  EXPECT_EQ(damage, std::vector<std::string>{
                        "1 version belongs to no row of [Table1]; it is kept at the end with "
                        "empty key columns"});
  Recordset parent;
  parent.Open("SELECT * FROM [Table1]", catalog);
  long count = 0;
  for (; !parent.Eof(); parent.MoveNext()) ++count;
  EXPECT_EQ(count, 4);
}

}  // namespace
}  // namespace bracken::source
