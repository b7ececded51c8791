#include "source/jet/long_value.h"

#include <unordered_set>

#include "source/jet/data_page.h"

namespace bracken::source::jet {

namespace {

constexpr uint32_t kLengthMask = 0x3FFFFFFF;
constexpr uint8_t kInline = 0x80;
constexpr uint8_t kSinglePage = 0x40;

}  // namespace

uint32_t LongValueLength(Bytes field) { return field.U32(0) & kLengthMask; }

// The row a long-value pointer names. Page contents never change while the
// file is open, so the page last read serves again without a read.
Bytes LongValueReader::Row(uint32_t pointer) {
  uint32_t number = PointerPage(pointer);
  if (number == 0 || number != pageNumber_) {
    pageNumber_ = 0;
    file_->ReadPage(number, page_);
    if (page_[0] != kDataPageType) {
      ThrowDamaged("a long value pointer does not lead to a data page");
    }
    pageNumber_ = number;
  }
  Bytes page(page_.data(), page_.size(), "long value page");
  RowSlot slot = PageRow(page, format_, PointerRow(pointer));
  if (slot.flags == (kRowDeleted | kRowOverflow)) {
    // A value whose row was deleted while the pointer to it stayed: like
    // Access, read what the row left behind; it is there until the space is
    // written over, and the value's length and chain still check it.
    slot.bytes = DeletedRowBytes(page, format_, PointerRow(pointer));
    if (slot.bytes.empty()) ThrowDamaged("a long value points to a deleted row");
  }
  if (slot.bytes.empty()) ThrowDamaged("a long value points to an empty row");
  return slot.bytes;
}

// A chain's value is the same wherever it is asked for from, so the last
// one put together serves again when its first pointer and length recur.
Bytes LongValueReader::Chained(uint32_t pointer, uint32_t length) {
  if (pointer != 0 && pointer == chainedPointer_ && length == chainedLength_) {
    return Bytes(chained_, "long value");
  }
  chainedPointer_ = 0;
  chained_.clear();
  chained_.reserve(length);
  std::unordered_set<uint32_t> seen;
  uint32_t first = pointer;
  while (chained_.size() < length) {
    if (pointer == 0) ThrowDamaged("a long value chain ends before its length");
    if (!seen.insert(pointer).second) ThrowDamaged("a long value chain forms a loop");
    Bytes row = Row(pointer);
    Bytes data = row.From(4);
    size_t take = std::min<size_t>(data.size(), length - chained_.size());
    chained_.append(data.View().substr(0, take));
    pointer = row.U32(0);
  }
  chainedPointer_ = first;
  chainedLength_ = length;
  return Bytes(chained_, "long value");
}

Bytes LongValueReader::Read(Bytes field) {
  uint32_t length = LongValueLength(field);
  uint8_t kind = field.U8(3) & 0xC0;
  if (kind == kInline) return field.Sub(kLongValueHeaderSize, length);
  if (length > file_->Size()) ThrowDamaged("a long value claims more bytes than the file holds");
  uint32_t pointer = field.U32(4);
  if (kind == kSinglePage) {
    Bytes row = Row(pointer);
    if (row.size() < length) ThrowDamaged("a long value is shorter than its length");
    return row.Sub(0, length);
  }
  if (kind != 0) ThrowDamaged("a long value has an unknown storage form");
  return Chained(pointer, length);
}

}  // namespace bracken::source::jet
