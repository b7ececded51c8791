#pragma once

// The two file versions the fixture writer writes and what differs between
// them at the page level: Jet 4 with 4 KiB pages and UTF-16 text, Jet 3
// (Access 97) with 2 KiB pages and single-byte Windows-1252 text.

#include <cstddef>
#include <cstdint>

namespace bracken::testing::jet {

struct WriterFormat {
  bool jet3 = false;
  uint32_t pageSize = 4096;
  size_t dataRowCount = 12;         // where a data page keeps its row count
  size_t dataHeaderSize = 14;       // where its row offsets start
  uint16_t leafHeaderSize = 0x1e0;  // the header of an index leaf page

  static WriterFormat Jet4() { return WriterFormat{}; }
  static WriterFormat Jet3() { return WriterFormat{true, 2048, 8, 10, 0xf8}; }

  // The bytes a row may take on a data page of its own.
  size_t MaxRowSize() const { return pageSize - dataHeaderSize - 2; }
};

}  // namespace bracken::testing::jet
