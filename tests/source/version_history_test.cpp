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

StoredVersion Version(const Variant& date, const std::string& text) {
  return {{date, date.IsNull() ? 0 : 8, nullptr},
          {Variant::Text(text), static_cast<long>(2 * text.size()), nullptr}};
}

StoredVersion Version(double date, const std::string& text) {
  return Version(Variant::Date(date), text);
}

StoredVersion Undated(const std::string& text) { return Version(Variant(), text); }

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

// A copy of the file with Table1 changed in place.
class Table1Copy {
 public:
  Table1Copy() : bytes_(FileBytes(CorpusFile())) {
    file_ = jet::PageFile::FromBuffer(bytes_, "copy");
    header_ = jet::ReadHeader(*file_);
    std::vector<std::string> damage;
    for (const auto& object :
         jet::ReadCatalogue(file_, header_.format, header_.codePage, damage)) {
      if (object.name == "Table1") page_ = object.DefinitionPage();
    }
    definition_ = jet::ReadTableDefinition(*file_, header_.format, header_.codePage, page_);
    pageSize_ = bytes_.size() / file_->PageCount();
  }

  // Gives row4 another set number for its versions; the count of rows changed.
  int MoveRow4ToSet(uint8_t set) {
    const jet::ColumnDefinition* versions = nullptr;
    for (const auto& column : definition_->columns) {
      if (column.kind == jet::ColumnKind::Complex && column.name.rfind("Version", 0) == 0) {
        versions = &column;
      }
    }
    int patched = 0;
    for (uint32_t data : jet::ReadUsageMap(*file_, header_.format, definition_->usageMap)) {
      jet::Bytes whole = Page(data);
      for (uint32_t n = 0; n < jet::PageRowCount(whole, header_.format); ++n) {
        jet::RowSlot slot = jet::PageRow(whole, header_.format, n);
        if (versions == nullptr || slot.flags != 0 || !HoldsRow4(slot.bytes.View())) continue;
        bytes_[Offset(data, slot.bytes.data() - whole.data()) + header_.format.rowColumnCountSize +
               versions->fixedOffset] = static_cast<char>(set);
        ++patched;
      }
    }
    return patched;
  }

  // Makes the primary key a plain index: found as the run of logical index
  // entries the definition was read from; the count of entries changed.
  int DropPrimaryKey() {
    const jet::Format& f = header_.format;
    const auto& logical = definition_->logicalIndexes;
    jet::Bytes whole = Page(page_);
    int patched = 0;
    for (size_t at = 0; at + logical.size() * f.logicalIndexEntrySize <= whole.size(); ++at) {
      bool match = !logical.empty();
      for (size_t i = 0; match && i < logical.size(); ++i) {
        jet::Bytes entry = whole.Sub(at + i * f.logicalIndexEntrySize, f.logicalIndexEntrySize);
        match = entry.U32(f.logicalIndexNumber) == logical[i].number &&
                entry.U32(f.logicalIndexReal) == logical[i].realIndex &&
                entry.U8(f.logicalIndexKind) == logical[i].kind;
      }
      if (!match) continue;
      for (size_t i = 0; i < logical.size(); ++i) {
        if (logical[i].kind != jet::kLogicalPrimaryKey) continue;
        bytes_[Offset(page_, at + i * f.logicalIndexEntrySize + f.logicalIndexKind)] = 0;
        ++patched;
      }
    }
    return patched;
  }

  Catalog Open() const {
    Catalog catalog;
    catalog.OpenBuffer(bytes_);
    return catalog;
  }

 private:
  jet::Bytes Page(uint32_t n) const {
    return jet::Bytes(std::string_view(bytes_).substr(n * pageSize_, pageSize_));
  }
  size_t Offset(uint32_t page, ptrdiff_t within) const {
    return size_t{page} * pageSize_ + static_cast<size_t>(within);
  }

  std::string bytes_;
  std::shared_ptr<jet::PageFile> file_;
  jet::Header header_;
  uint32_t page_ = 0;
  std::shared_ptr<const jet::TableDefinition> definition_;
  size_t pageSize_ = 0;
};

// Row4's set number changed to one no version has: its version stays, last
// and without a key, and is named; row4 itself reads as before.
TEST_F(CorpusHistory, AVersionWhoseRowIsGoneIsKeptLastAndNamed) {
  Table1Copy copy;
  ASSERT_EQ(copy.MoveRow4ToSet(77), 1);
  Catalog catalog = copy.Open();
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

// The text of one version made unreadable (its memo header sent to a page
// beyond the file): only that version's row fails, when its text is read.
TEST_F(CorpusHistory, AVersionThatCannotBeReadFailsOnlyItsRow) {
  std::string bytes = FileBytes(CorpusFile());
  const size_t text = bytes.find("row3-memo-revised");
  ASSERT_NE(text, std::string::npos);
  const size_t header = text - 14;  // 12 bytes of memo header, then FF FE
  ASSERT_EQ(static_cast<uint8_t>(bytes[header + 3]), 0x80) << "the text is kept in the row";
  bytes[header + 3] = 0x40;  // kept on another page
  bytes.replace(header + 4, 4, std::string("\x00\xff\xff\xff", 4));
  Catalog catalog;
  catalog.OpenBuffer(bytes);
  Recordset rows;
  rows.Open("SELECT * FROM [Table1_append-memo-data_history]", catalog);
  std::vector<std::string> texts;
  for (; !rows.Eof(); rows.MoveNext()) {
    EXPECT_EQ(rows.Fields().Item("Modified").Value().kind(), Variant::Kind::Date);
    try {
      texts.push_back(rows.Fields().Item("append-memo-data").Value().ToText());
    } catch (const SourceError& error) {
      EXPECT_EQ(error.Description().rfind("The database file is damaged: ", 0), 0u);
      EXPECT_THROW(rows.Fields().Item("append-memo-data").ActualSize(), SourceError);
      texts.push_back("(unreadable)");
    }
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"row2-memo", "row3-memo", "(unreadable)",
                                             "row3-memo-again", "row4-memo"}));
}

// Without a primary key (and no unique index of required columns) a version
// names its row by the row's place in the table, counted from 1.
TEST_F(CorpusHistory, WithoutAKeyTheRowsPositionNamesIt) {
  Table1Copy copy;
  ASSERT_EQ(copy.DropPrimaryKey(), 1);
  ASSERT_EQ(copy.MoveRow4ToSet(77), 1);
  Catalog catalog = copy.Open();
  Table history = catalog.Tables().Item("Table1_append-memo-data_history");
  ASSERT_EQ(history.Columns().Count(), 3);
  EXPECT_EQ(history.Columns().Item("ParentRow").Type(), adInteger);
  EXPECT_EQ(history.Indexes().Item(0).Columns().Item(0).Name(), "ParentRow");
  std::vector<std::string> damage;
  EXPECT_EQ(HistoryRows(catalog, &damage),
            (std::vector<std::string>{
                "2|9/12/2011 9:21:02 PM|row2-memo", "3|9/12/2011 9:21:19 PM|row3-memo",
                "3|9/12/2011 9:22:33 PM|row3-memo-revised",
                "3|9/12/2011 9:22:45 PM|row3-memo-again", "NULL|9/12/2011 9:22:26 PM|row4-memo"}));
  EXPECT_EQ(damage.size(), 1u);
}

}  // namespace
}  // namespace bracken::source
