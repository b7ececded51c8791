#include "source/jet/data_page.h"

namespace bracken::source::jet {

uint16_t PageRowCount(Bytes page, const Format& format) {
  uint16_t count = page.U16(format.dataRowCount);
  if (format.dataRowCount + 2 + size_t{count} * 2 > page.size()) {
    ThrowDamaged("a data page claims more rows than it can hold");
  }
  return count;
}

namespace {

struct RowBounds {
  uint16_t flags = 0;
  size_t start = 0;
  size_t end = 0;
  bool inside = false;  // between the offset table and the page's end
};

[[gnu::always_inline]] inline RowBounds Bounds(Bytes page, const Format& format, uint32_t row) {
  uint16_t count = PageRowCount(page, format);
  if (row >= count) ThrowDamaged("a row pointer names a row its page does not have");
  size_t table = format.dataRowCount + 2;
  uint16_t entry = page.U16(table + size_t{row} * 2);
  RowBounds bounds;
  bounds.flags = entry & (kRowDeleted | kRowOverflow);
  bounds.start = entry & kRowOffsetMask;
  bounds.end = row == 0 ? page.size() : (page.U16(table + size_t{row - 1} * 2) & kRowOffsetMask);
  bounds.inside = bounds.start >= table + size_t{count} * 2 && bounds.start <= bounds.end &&
                  bounds.end <= page.size();
  return bounds;
}

}  // namespace

RowSlot PageRow(Bytes page, const Format& format, uint32_t row) {
  RowBounds bounds = Bounds(page, format, row);
  RowSlot slot;
  slot.flags = bounds.flags;
  if (slot.flags == (kRowDeleted | kRowOverflow)) return slot;  // deleted: nothing to read
  if (!bounds.inside) ThrowDamaged("a row lies outside its data page");
  slot.bytes = page.Sub(bounds.start, bounds.end - bounds.start);
  return slot;
}

Bytes DeletedRowBytes(Bytes page, const Format& format, uint32_t row) {
  RowBounds bounds = Bounds(page, format, row);
  if (!bounds.inside || bounds.start == bounds.end) return Bytes();
  return page.Sub(bounds.start, bounds.end - bounds.start);
}

}  // namespace bracken::source::jet
