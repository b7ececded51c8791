#pragma once

// Damaged copies of written files, as users bring them: one data page of a
// table zeroed, found by what it holds.

#include <cstddef>
#include <string>
#include <string_view>

namespace bracken::testing {

struct ZeroedPage {
  long page = 0;        // its number in the file; 0 when no page was found
  long definition = 0;  // the table definition page that owned it
  int rows = 0;         // the rows it held
};

// Zeroes the first data page (type 1) of a Jet 4 file (4096-byte pages)
// whose bytes contain `marker`, e.g. a text value of one row kept as
// compressed (single-byte) text.
ZeroedPage ZeroDataPageHolding(std::string& file, std::string_view marker);

// Points the row of a Jet 4 data page whose bytes contain `marker` (as
// single-byte or UTF-16 text) outside its page, as a flipped bit of its row
// offset does. Returns the page, or 0 when no row holds the marker.
long BreakRowHolding(std::string& file, std::string_view marker);

// Zeroes page `page` of a Jet 4 file.
void ZeroPage(std::string& file, long page);

}  // namespace bracken::testing
