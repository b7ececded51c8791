#pragma once

// The table definition: a header with the counts and usage-map references,
// then the column entries and names, the real and logical index entries with
// their names, and the usage maps of the long-value columns. A definition
// longer than a page continues on further pages.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/jet_writer_layout.h"

namespace bracken::testing::jet {

// What is known only once the rows are written.
struct DefinitionState {
  uint32_t rowCount = 0;
  uint32_t nextAutoNumber = 1;
  uint32_t usedPagesMap = 0;  // row pointers to usage map rows
  uint32_t freePagesMap = 0;
  std::vector<uint32_t> indexMaps;     // per index
  std::vector<uint32_t> indexRoots;    // per index: its (empty) leaf page
  std::vector<uint32_t> longUsedMaps;  // per long-value column
  std::vector<uint32_t> longFreeMaps;
};

// The definition's bytes as if on one long page (page header included).
std::string BuildTableDefinition(const TableLayout& layout, bool systemTable,
                                 const DefinitionState& state, const WriterFormat& format);

// How many pages a definition of this length takes.
uint32_t DefinitionPageCount(size_t length, const WriterFormat& format);

// The definition cut into pages; `pages` are their numbers, in order.
std::vector<std::string> PageDefinition(const std::string& definition,
                                        const std::vector<uint32_t>& pages,
                                        const WriterFormat& format);

}  // namespace bracken::testing::jet
