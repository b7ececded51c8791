#include "source/jet/data_page.h"

namespace bracken::source::jet {

uint16_t PageRowCount(Bytes page, const Format& format) {
  uint16_t count = page.U16(format.dataRowCount);
  if (format.dataRowCount + 2 + size_t{count} * 2 > page.size()) {
    ThrowDamaged("a data page claims more rows than it can hold");
  }
  return count;
}

RowSlot PageRow(Bytes page, const Format& format, uint32_t row) {
  uint16_t count = PageRowCount(page, format);
  if (row >= count) ThrowDamaged("a row pointer names a row its page does not have");
  size_t table = format.dataRowCount + 2;
  uint16_t entry = page.U16(table + row * 2);
  size_t start = entry & kRowOffsetMask;
  size_t end = row == 0 ? page.size() : (page.U16(table + (row - 1) * 2) & kRowOffsetMask);
  RowSlot slot;
  slot.flags = entry & (kRowDeleted | kRowOverflow);
  if (slot.flags == (kRowDeleted | kRowOverflow)) return slot;  // deleted: nothing to read
  if (start < table + size_t{count} * 2 || start > end || end > page.size()) {
    ThrowDamaged("a row lies outside its data page");
  }
  slot.bytes = page.Sub(start, end - start);
  return slot;
}

}  // namespace bracken::source::jet
