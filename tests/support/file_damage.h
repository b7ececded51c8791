#pragma once

// Damage done on purpose to a written Access file, for the tests of what the
// reader does with it: pages zeroed or swapped, long values whose pointers
// lead astray, rows deleted under a pointer, chains that loop. Works on Jet 3
// (2 KiB pages) and Jet 4 / ACE files (4 KiB pages) as the fixture writer
// lays them out: long values on pages of their own, one table's data pages
// owned by its definition page.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/fixture_writer.h"

namespace bracken::testing {

enum class PageKind {
  Header,               // page 0
  CatalogueDefinition,  // page 2, MSysObjects' definition
  Catalogue,            // a data page of MSysObjects
  TableDefinition,      // any other table's definition page
  Data,                 // a data page of any other table
  LongValue,            // a page of memo, OLE and property blob values
  Other,                // usage maps, index pages, free pages
};

class DamagedFile {
 public:
  explicit DamagedFile(std::string bytes);
  const std::string& Bytes() const { return bytes_; }
  size_t PageSize() const { return pageSize_; }
  uint32_t PageCount() const { return static_cast<uint32_t>(bytes_.size() / pageSize_); }

  PageKind KindOf(uint32_t page) const;
  std::vector<uint32_t> PagesOf(PageKind kind) const;
  // The data pages of the table whose definition starts on this page.
  std::vector<uint32_t> DataPagesOf(uint32_t definitionPage) const;
  // The definition page of the user table whose rows hold this text (its
  // stored bytes, as Jet 3 or uncompressed Jet 4 text keeps them).
  uint32_t DefinitionPageHolding(std::string_view stored) const;

  // The row pointer (page << 8 | row) of the first long-value row, in page
  // order, whose bytes hold `part`.
  uint32_t LongValueRow(std::string_view part) const;
  // Every header in a data page of a value kept whole on the long-value row
  // `from` now names `to`. Returns how many it changed.
  int RedirectLongValue(uint32_t from, uint32_t to);
  // The first data page (of any table, the catalogue's too) holding `part`,
  // and the row on it whose bytes hold it; 0 for none.
  uint32_t DataPageHolding(std::string_view part) const;
  uint32_t RowHolding(std::string_view part) const;
  // Moves the row's start past the page's end, as a flipped bit of its
  // offset does; its flags stay.
  void BreakRow(uint32_t pointer);
  // Flags the row deleted; its bytes stay where they are.
  void DeleteRow(uint32_t pointer);
  // Moves the row's start past its end, so that its bytes cannot be found.
  void LoseRow(uint32_t pointer);
  // A chained value's row that points at itself as the next piece.
  void LoopChain(uint32_t pointer);

  void ZeroPage(uint32_t page);
  void SwapPages(uint32_t a, uint32_t b);
  // Overwrites bytes [offset, offset + length) of the page with a pattern.
  void Scribble(uint32_t page, size_t offset, size_t length, uint8_t value = 0xEE);

 private:
  size_t RowCountOffset() const { return pageSize_ == 2048 ? 8 : 12; }
  size_t OffsetEntry(uint32_t pointer) const;

  std::string bytes_;
  size_t pageSize_;
};

// Shortcuts for tests that damage one thing in a Jet 4 file's bytes.
struct ZeroedPage {
  long page = 0;        // its number in the file; 0 when no page was found
  long definition = 0;  // the table definition page that owned it
  int rows = 0;         // the rows it held
};
// Zeroes the first data page whose bytes hold `marker` (e.g. a text value
// kept compressed, as single bytes).
ZeroedPage ZeroDataPageHolding(std::string& file, std::string_view marker);
// Points the row of a data page whose bytes hold `marker` (as single-byte or
// UTF-16 text) outside its page. Returns the page, or 0 when no row holds it.
long BreakRowHolding(std::string& file, std::string_view marker);
void ZeroPage(std::string& file, long page);

// "UTF-16LE" bytes of ASCII text: how an uncompressed Jet 4 text is stored.
std::string Utf16(std::string_view ascii);

// The formats damage is tried in: the ACE file is the Jet 4 one under an
// Access 2007 header.
enum class FileFormat { Jet3, Jet4, Ace };
const char* FormatName(FileFormat format);  // "Jet 3"
const char* FormatTag(FileFormat format);   // "Jet3", for test names
std::string WriteIn(FileFormat format, const FixtureDatabase& database);
// The bytes a text of DamageSample() is stored as: Windows-1252 in Jet 3,
// UTF-16 in the others (its texts and properties are written uncompressed).
std::string StoredText(FileFormat format, const std::string& text);

// A file to damage. Orders (Id, Name, Note): 30 rows with a note kept in the
// row, row 31 with kPageNote on a long-value page of its own, row 32 with
// kChainNote chained over several; its description makes its property blob
// too long to stay in the catalogue's row. Customers (Id, City): 200 rows
// over several data pages ("city 7", "city 14", ...), with properties of its
// own.
FixtureDatabase DamageSample();
extern const std::string kPageNote;
extern const std::string kChainNote;

}  // namespace bracken::testing
