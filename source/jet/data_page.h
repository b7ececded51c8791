#pragma once

// Data pages (also those holding long values): the row offset table at the
// page's start, each entry the start of one row with two flag bits; a row
// ends where the row before it starts (row 0 at the end of the page).

#include <cstdint>
#include <vector>

#include "source/jet/bytes.h"
#include "source/jet/format.h"

namespace bracken::source::jet {

inline constexpr uint8_t kDataPageType = 0x01;
inline constexpr uint8_t kTableDefinitionPageType = 0x02;
inline constexpr uint8_t kUsageBitmapPageType = 0x05;

// Row flags: 0x8000 alone marks a row only reached through an overflow row,
// 0x4000 alone an overflow row (a pointer to the row's real place), both a
// deleted row.
inline constexpr uint16_t kRowDeleted = 0x8000;
inline constexpr uint16_t kRowOverflow = 0x4000;
inline constexpr uint16_t kRowOffsetMask = 0x1FFF;

struct RowSlot {
  uint16_t flags = 0;
  Bytes bytes;
};

// The number of rows on a data page.
uint16_t PageRowCount(Bytes page, const Format& format);
// Row n of a data page, bounds-checked; a deleted row has no bytes.
RowSlot PageRow(Bytes page, const Format& format, uint32_t row);
// The bytes a deleted row left behind: deleting a row only flags its entry,
// so its start and the start of the row before it still bound it, until a
// later row is written over the space. Empty where those bounds make no sense.
Bytes DeletedRowBytes(Bytes page, const Format& format, uint32_t row);

// A row pointer as Jet stores it: the page in the upper three bytes and the
// row number in the lowest.
inline uint32_t PointerPage(uint32_t pointer) { return pointer >> 8; }
inline uint32_t PointerRow(uint32_t pointer) { return pointer & 0xFF; }

}  // namespace bracken::source::jet
