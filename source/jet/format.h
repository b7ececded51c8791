#pragma once

// Where the two file versions keep their structures: page size and the
// offsets inside table definitions, column entries, index entries and data
// pages. Everything that differs between Jet 3 and Jet 4 is looked up here.

#include <cstddef>
#include <cstdint>

namespace bracken::source::jet {

struct Format {
  bool jet3 = false;
  // Set for the Access 2007 and later formats (ACE), which keep the Jet 4
  // layout and add their own column kinds and catalogue objects.
  bool ace = false;
  // The version byte of the header: 0 Jet 3, 1 Jet 4, 2 ACE 12, 3 ACE 14,
  // 5 ACE 16, 6 ACE 17.
  uint8_t version = 1;
  uint32_t pageSize = 4096;

  // Data pages.
  size_t dataRowCount = 12;  // u16 row count, the row offsets follow
  size_t rowColumnCountSize = 2;

  // Table definition.
  size_t tdefRowCount = 16;
  size_t tdefVarColumns = 43;
  size_t tdefColumns = 45;
  size_t tdefLogicalIndexes = 47;
  size_t tdefRealIndexes = 51;
  size_t tdefUsageMap = 55;
  size_t tdefHeaderSize = 63;
  size_t realIndexCountEntry = 12;

  // Column entries.
  size_t columnEntrySize = 25;
  size_t columnNumber = 5;
  size_t columnVarIndex = 7;
  size_t columnPrecision = 11;
  size_t columnScale = 12;
  size_t columnFlags = 15;
  size_t columnExtraFlags = 16;  // 0: the version has none
  size_t columnFixedOffset = 21;
  size_t columnLength = 23;
  size_t nameLengthSize = 2;

  // Real (physical) index entries.
  size_t realIndexEntrySize = 52;
  size_t realIndexColumns = 4;
  size_t realIndexFlags = 46;

  // Logical index entries.
  size_t logicalIndexEntrySize = 28;
  size_t logicalIndexNumber = 4;
  size_t logicalIndexReal = 8;
  size_t logicalIndexRelationSide = 12;
  size_t logicalIndexKind = 23;

  static Format Jet4() { return Format{}; }
  static Format Ace(uint8_t version) {
    Format f;
    f.ace = true;
    f.version = version;
    return f;
  }
  static Format Jet3() {
    Format f;
    f.jet3 = true;
    f.version = 0;
    f.pageSize = 2048;
    f.dataRowCount = 8;
    f.rowColumnCountSize = 1;
    f.tdefRowCount = 12;
    f.tdefVarColumns = 23;
    f.tdefColumns = 25;
    f.tdefLogicalIndexes = 27;
    f.tdefRealIndexes = 31;
    f.tdefUsageMap = 35;
    f.tdefHeaderSize = 43;
    f.realIndexCountEntry = 8;
    f.columnEntrySize = 18;
    f.columnNumber = 1;
    f.columnVarIndex = 3;
    f.columnPrecision = 11;
    f.columnScale = 12;
    f.columnFlags = 13;
    f.columnExtraFlags = 0;
    f.columnFixedOffset = 14;
    f.columnLength = 16;
    f.nameLengthSize = 1;
    f.realIndexEntrySize = 39;
    f.realIndexColumns = 0;
    f.realIndexFlags = 38;
    f.logicalIndexEntrySize = 20;
    f.logicalIndexNumber = 0;
    f.logicalIndexReal = 4;
    f.logicalIndexRelationSide = 8;
    f.logicalIndexKind = 19;
    return f;
  }
};

}  // namespace bracken::source::jet
