// Damage costs only what it touches. Files written by the fixture writer in
// Jet 3, Jet 4 and ACE, then damaged on purpose: long values whose pointers
// lead astray (from a property blob and from a memo), a pointer to a deleted
// long-value row, a chain that loops, pages zeroed, swapped or scribbled
// over. Every case must leave the rest of the file readable as it was, and
// name what it lost; and a seeded run of random damage must end, for every
// copy, either identical to the original or named.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "source/source_access.h"
#include "tests/support/file_damage.h"

namespace bracken::source {
namespace {

using testing::DamagedFile;
using testing::DamageSample;
using testing::kChainNote;
using testing::kPageNote;
using testing::PageKind;
using Format = testing::FileFormat;
constexpr Format kFormats[] = {Format::Jet3, Format::Jet4, Format::Ace};

const char* Name(Format format) { return testing::FormatName(format); }
std::string Stored(Format format, const std::string& text) {
  return testing::StoredText(format, text);
}
std::string Write(Format format, const testing::FixtureDatabase& database) {
  return testing::WriteIn(format, database);
}

// What the reader makes of a file: per user table its shape, its rows
// (sorted, as damage may move rows between pages) and its unreadable
// values; and everything it names.
struct Outcome {
  std::string openError;
  std::vector<std::string> named;
  std::map<std::string, std::string> shapes;
  std::map<std::string, std::vector<std::string>> rows;
  std::map<std::string, long> storedRows;

  bool Named(const std::string& part) const {
    return std::any_of(named.begin(), named.end(),
                       [&](const auto& line) { return line.find(part) != std::string::npos; });
  }
};

Outcome Read(const std::string& bytes) {
  Outcome outcome;
  try {
    Catalog catalog;
    catalog.OpenBuffer(bytes);
    for (const std::string& note : catalog.Damage()) outcome.named.push_back(note);
    Tables tables = catalog.Tables();
    for (long t = 0; t < tables.Count(); ++t) {
      Table table = tables.Item(t);
      if (table.Type() != "TABLE") continue;
      const std::string& name = table.Name();
      for (const std::string& note : table.Damage()) outcome.named.push_back(name + ": " + note);
      std::string& shape = outcome.shapes[name];
      Columns columns = table.Columns();
      for (long c = 0; c < columns.Count(); ++c) {
        Column column = columns.Item(c);
        shape += column.Name() + ":" + std::to_string(column.Type()) + ":" +
                 (column.Properties().Item("Nullable").Value().ToBool() ? "null" : "required") +
                 ":" + std::to_string(column.Properties().Count()) + " ";
      }
      for (long i = 0; i < table.Indexes().Count(); ++i) shape += table.Indexes().Item(i).Name();
      shape += " properties " + std::to_string(table.Properties().Count());
      outcome.storedRows[name] = table.StoredRowCount();
      Recordset recordset;
      try {
        recordset.Open("SELECT * FROM [" + name + "]", catalog);
      } catch (const SourceError& error) {
        outcome.named.push_back(name + ": " + error.Description());
        continue;
      }
      auto& rows = outcome.rows[name];
      for (; !recordset.Eof(); recordset.MoveNext()) {
        std::string row;
        Fields fields = recordset.Fields();
        for (long i = 0; i < fields.Count(); ++i) {
          try {
            row += fields.Item(i).Value().ToText() + "|";
          } catch (const SourceError& error) {
            outcome.named.push_back(name + ": value unreadable: " + error.Description());
            row += "?|";
          }
        }
        rows.push_back(row);
      }
      std::sort(rows.begin(), rows.end());
      for (const std::string& note : recordset.Damage())
        outcome.named.push_back(name + ": " + note);
      if (static_cast<long>(rows.size()) < table.StoredRowCount()) {
        outcome.named.push_back(name + ": rows missing");
      }
    }
  } catch (const SourceError& error) {
    outcome.openError = error.Description();
    outcome.named.push_back(error.Description());
  }
  return outcome;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

// The rows of `table` are those of the original but for the ones `lost`
// names by Id (rendered as "Id|").
void ExpectRowsBut(const Outcome& original, const Outcome& damaged, const std::string& table,
                   const std::vector<std::string>& lost = {}) {
  std::vector<std::string> expected;
  for (const auto& row : original.rows.at(table)) {
    bool gone = std::any_of(lost.begin(), lost.end(),
                            [&](const auto& id) { return row.rfind(id + "|", 0) == 0; });
    if (!gone) expected.push_back(row);
  }
  std::vector<std::string> actual;
  for (const auto& row : damaged.rows.at(table)) {
    if (row.find("?|") == std::string::npos) actual.push_back(row);
  }
  EXPECT_EQ(actual, expected) << table;
}

class LongValueDamage : public ::testing::TestWithParam<Format> {
 protected:
  void SetUp() override {
    bytes_ = Write(GetParam(), DamageSample());
    original_ = Read(bytes_);
    ASSERT_TRUE(original_.named.empty()) << Joined(original_.named);
    ASSERT_EQ(original_.rows.at("Orders").size(), 32u);
  }
  Format Fmt() const { return GetParam(); }
  std::string bytes_;
  Outcome original_;
};

TEST_P(LongValueDamage, APropertyBlobLeadingToADefinitionPageLeavesOnlyItsPropertiesUnknown) {
  DamagedFile file(bytes_);
  uint32_t blob = file.LongValueRow(Stored(Fmt(), "Every order the shop took"));
  uint32_t definition = file.DefinitionPageHolding(Stored(Fmt(), "order 1"));
  ASSERT_EQ(file.RedirectLongValue(blob, definition << 8), 1);
  Outcome damaged = Read(file.Bytes());
  ASSERT_EQ(damaged.openError, "");
  EXPECT_TRUE(
      damaged.Named("Orders: its properties cannot be read (a long value pointer does "
                    "not lead to a data page)"))
      << Joined(damaged.named);
  EXPECT_EQ(damaged.named.size(), 1u) << Joined(damaged.named);
  ExpectRowsBut(original_, damaged, "Orders");
  ExpectRowsBut(original_, damaged, "Customers");
  EXPECT_EQ(damaged.shapes.at("Customers"), original_.shapes.at("Customers"));
  // Columns, types and indexes stay; what the blob said (Required) is unknown.
  EXPECT_NE(damaged.shapes.at("Orders").find("ByName"), std::string::npos);
}

TEST_P(LongValueDamage, AMemoLeadingAstrayRefusesOnlyItsRow) {
  DamagedFile file(bytes_);
  uint32_t memo = file.LongValueRow(Stored(Fmt(), "page-note"));
  uint32_t definition = file.DefinitionPageHolding(Stored(Fmt(), "order 1"));
  ASSERT_EQ(file.RedirectLongValue(memo, definition << 8), 1);
  Outcome damaged = Read(file.Bytes());
  EXPECT_TRUE(
      damaged.Named("Orders: value unreadable: The database file is damaged: a long value "
                    "pointer does not lead to a data page."))
      << Joined(damaged.named);
  EXPECT_EQ(damaged.named.size(), 1u) << Joined(damaged.named);
  ExpectRowsBut(original_, damaged, "Orders", {"31"});
  ExpectRowsBut(original_, damaged, "Customers");
}

TEST_P(LongValueDamage, APointerToADeletedRowReadsWhatTheRowLeftBehind) {
  DamagedFile file(bytes_);
  file.DeleteRow(file.LongValueRow(Stored(Fmt(), "page-note")));
  file.DeleteRow(file.LongValueRow(Stored(Fmt(), "Every order the shop took")));
  Outcome damaged = Read(file.Bytes());
  EXPECT_TRUE(damaged.named.empty()) << Joined(damaged.named);
  EXPECT_EQ(damaged.rows, original_.rows);
  EXPECT_EQ(damaged.shapes, original_.shapes);
}

TEST_P(LongValueDamage, ADeletedRowWhoseBytesAreGoneIsNamedUnreadable) {
  DamagedFile file(bytes_);
  file.LoseRow(file.LongValueRow(Stored(Fmt(), "page-note")));
  Outcome damaged = Read(file.Bytes());
  EXPECT_TRUE(damaged.Named("a long value points to a deleted row")) << Joined(damaged.named);
  ExpectRowsBut(original_, damaged, "Orders", {"31"});
}

TEST_P(LongValueDamage, AChainThatLoopsRefusesOnlyItsRow) {
  DamagedFile file(bytes_);
  file.LoopChain(file.LongValueRow(Stored(Fmt(), "chain-note")));
  Outcome damaged = Read(file.Bytes());
  EXPECT_TRUE(damaged.Named("a long value chain forms a loop")) << Joined(damaged.named);
  EXPECT_EQ(damaged.named.size(), 1u) << Joined(damaged.named);
  ExpectRowsBut(original_, damaged, "Orders", {"32"});
  ExpectRowsBut(original_, damaged, "Customers");
}

INSTANTIATE_TEST_SUITE_P(Formats, LongValueDamage, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return testing::FormatTag(info.param); });

class StructureDamage : public LongValueDamage {};

TEST_P(StructureDamage, AZeroedDataPageIsSeenInTheRowCount) {
  DamagedFile file(bytes_);
  uint32_t definition = file.DefinitionPageHolding(Stored(Fmt(), "city 7"));
  std::vector<uint32_t> pages = file.DataPagesOf(definition);
  ASSERT_GE(pages.size(), 2u);
  file.ZeroPage(pages.front());
  Outcome damaged = Read(file.Bytes());
  EXPECT_TRUE(damaged.Named("Customers: rows missing")) << Joined(damaged.named);
  EXPECT_LT(damaged.rows.at("Customers").size(), 200u);
  EXPECT_GT(damaged.rows.at("Customers").size(), 0u);
  ExpectRowsBut(original_, damaged, "Orders");
}

TEST_P(StructureDamage, ADataPageWithBrokenRowOffsetsIsLeftOutAndNamed) {
  DamagedFile file(bytes_);
  uint32_t definition = file.DefinitionPageHolding(Stored(Fmt(), "city 7"));
  uint32_t page = file.DataPagesOf(definition).front();
  size_t rowCount = file.PageSize() == 2048 ? 8 : 12;
  file.Scribble(page, rowCount, 2, 0xFF);  // more rows than the page can hold
  Outcome damaged = Read(file.Bytes());
  EXPECT_TRUE(damaged.Named("Customers: page " + std::to_string(page) +
                            " cannot be read (a data page claims more rows than it can hold); "
                            "its rows are left out"))
      << Joined(damaged.named);
  EXPECT_GT(damaged.rows.at("Customers").size(), 0u);

  DamagedFile rows(bytes_);
  // Rows 1 and 2 start past the page's end, and row 3 ends where row 2 starts.
  rows.Scribble(page, rowCount + 4, 4, 0x1F);
  damaged = Read(rows.Bytes());
  EXPECT_TRUE(damaged.Named("Customers: on page " + std::to_string(page) +
                            ", 3 rows cannot be read (a row lies outside its data page at row 1); "
                            "they are left out"))
      << Joined(damaged.named);
  EXPECT_EQ(damaged.rows.at("Customers").size(), 197u);
}

TEST_P(StructureDamage, AZeroedDefinitionLeavesItsTableListedAndUnreadable) {
  DamagedFile file(bytes_);
  file.ZeroPage(file.DefinitionPageHolding(Stored(Fmt(), "city 7")));
  Outcome damaged = Read(file.Bytes());
  ASSERT_EQ(damaged.openError, "");
  EXPECT_TRUE(damaged.Named("Customers: its definition cannot be read")) << Joined(damaged.named);
  EXPECT_TRUE(
      damaged.Named("Customers: The database file is damaged: the definition of the "
                    "table 'Customers' cannot be read."))
      << Joined(damaged.named);
  EXPECT_EQ(damaged.rows.count("Customers"), 0u);
  ExpectRowsBut(original_, damaged, "Orders");
}

TEST_P(StructureDamage, ALostUsageMapIsReplacedByTheOwnersOfThePages) {
  Catalog catalog;
  catalog.OpenBuffer(bytes_);
  DamagedFile file(bytes_);
  uint32_t definition = file.DefinitionPageHolding(Stored(Fmt(), "city 7"));
  // The usage map pointer of a table definition: at 55 in Jet 4, 35 in Jet 3.
  size_t at = size_t{definition} * file.PageSize() + (Fmt() == Format::Jet3 ? 35 : 55);
  std::string bytes = file.Bytes();
  bytes[at + 3] = static_cast<char>(0x7F);  // a page far beyond the file
  Outcome damaged = Read(bytes);
  EXPECT_TRUE(damaged.Named("Customers: the map of its data pages cannot be read"))
      << Joined(damaged.named);
  EXPECT_EQ(damaged.rows, original_.rows);
}

TEST_P(StructureDamage, ACatalogueThatCannotBeReadIsAnErrorNotAnEmptyFile) {
  DamagedFile file(bytes_);
  file.ZeroPage(2);
  EXPECT_EQ(Read(file.Bytes()).openError,
            "The database file is damaged: the system catalogue cannot be read (page 2 is not a "
            "table definition page).");
  DamagedFile rows(bytes_);
  for (uint32_t page : rows.PagesOf(PageKind::Catalogue)) rows.ZeroPage(page);
  EXPECT_EQ(Read(rows.Bytes()).openError,
            "The database file is damaged: the system catalogue holds no object that can be "
            "read.");
}

TEST_P(StructureDamage, ACatalogueMissingRowsSaysSo) {
  DamagedFile file(bytes_);
  std::vector<uint32_t> pages = file.PagesOf(PageKind::Catalogue);
  ASSERT_FALSE(pages.empty());
  size_t rowCount = file.PageSize() == 2048 ? 8 : 12;
  file.Scribble(pages.back(), rowCount + 2, 2, 0xFF);  // its first row starts past the page
  Outcome damaged = Read(file.Bytes());
  EXPECT_TRUE(damaged.Named("The catalogue of the file's objects is damaged: on page"))
      << Joined(damaged.named);
}

INSTANTIATE_TEST_SUITE_P(Formats, StructureDamage, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return testing::FormatTag(info.param); });

// Random damage, seeded so that a failure repeats: data pages, definition
// pages, catalogue pages and long-value pages zeroed or swapped with another
// page. Each copy must read as the original did, or name what it lost.
TEST(SeededDamage, EveryDamagedCopyReadsAsTheOriginalOrNamesItsLoss) {
  constexpr int kCopiesPerFormat = 120;
  const PageKind kinds[] = {PageKind::Data,      PageKind::TableDefinition,
                            PageKind::Catalogue, PageKind::CatalogueDefinition,
                            PageKind::LongValue, PageKind::Other};
  int identical = 0;
  int named = 0;
  for (Format format : kFormats) {
    const std::string bytes = Write(format, DamageSample());
    const Outcome original = Read(bytes);
    ASSERT_TRUE(original.named.empty());
    const DamagedFile sound(bytes);
    std::mt19937 random(20261209u + static_cast<unsigned>(format));
    for (int copy = 0; copy < kCopiesPerFormat; ++copy) {
      DamagedFile file(bytes);
      PageKind kind = kinds[random() % std::size(kinds)];
      std::vector<uint32_t> pages = sound.PagesOf(kind);
      if (pages.empty()) continue;
      uint32_t page = pages[random() % pages.size()];
      std::string what;
      if (random() % 2 == 0) {
        file.ZeroPage(page);
        what = "zeroed page " + std::to_string(page);
      } else {
        uint32_t other = 1 + static_cast<uint32_t>(random() % (file.PageCount() - 1));
        file.SwapPages(page, other);
        what = "swapped pages " + std::to_string(page) + " and " + std::to_string(other);
      }
      Outcome damaged = Read(file.Bytes());
      if (!damaged.named.empty()) {
        ++named;
        continue;
      }
      ++identical;
      EXPECT_EQ(damaged.shapes, original.shapes) << Name(format) << ", " << what;
      EXPECT_EQ(damaged.rows, original.rows) << Name(format) << ", " << what;
    }
  }
  // Both outcomes occur: the damage is real, and not every page matters.
  EXPECT_GT(named, 0);
  EXPECT_GT(identical, 0);
}

}  // namespace
}  // namespace bracken::source
