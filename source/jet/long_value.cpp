#include "source/jet/long_value.h"

#include <unordered_set>
#include <vector>

#include "source/jet/data_page.h"

namespace bracken::source::jet {

namespace {

constexpr uint32_t kLengthMask = 0x3FFFFFFF;
constexpr uint8_t kInline = 0x80;
constexpr uint8_t kSinglePage = 0x40;

Bytes LongValueRow(const PageFile& file, const Format& format, uint32_t pointer,
                   std::vector<uint8_t>& page) {
  file.ReadPage(PointerPage(pointer), page);
  if (page[0] != kDataPageType) ThrowDamaged("a long value pointer does not lead to a data page");
  RowSlot slot =
      PageRow(Bytes(page.data(), page.size(), "long value page"), format, PointerRow(pointer));
  if (slot.flags == (kRowDeleted | kRowOverflow) || slot.bytes.empty()) {
    ThrowDamaged("a long value points to a deleted row");
  }
  return slot.bytes;
}

std::string ReadChained(const PageFile& file, const Format& format, uint32_t pointer,
                        uint32_t length) {
  std::string value;
  value.reserve(length);
  std::vector<uint8_t> page;
  std::unordered_set<uint32_t> seen;
  while (value.size() < length) {
    if (pointer == 0) ThrowDamaged("a long value chain ends before its length");
    if (!seen.insert(pointer).second) ThrowDamaged("a long value chain forms a loop");
    Bytes row = LongValueRow(file, format, pointer, page);
    Bytes data = row.From(4);
    size_t take = std::min<size_t>(data.size(), length - value.size());
    value.append(data.View().substr(0, take));
    pointer = row.U32(0);
  }
  return value;
}

}  // namespace

uint32_t LongValueLength(Bytes field) { return field.U32(0) & kLengthMask; }

std::string ReadLongValue(const PageFile& file, const Format& format, Bytes field) {
  uint32_t length = LongValueLength(field);
  uint8_t kind = field.U8(3) & 0xC0;
  if (kind == kInline) {
    return field.Sub(kLongValueHeaderSize, length).String();
  }
  if (length > file.Size()) ThrowDamaged("a long value claims more bytes than the file holds");
  uint32_t pointer = field.U32(4);
  if (kind == kSinglePage) {
    std::vector<uint8_t> page;
    return LongValueRow(file, format, pointer, page).Sub(0, length).String();
  }
  if (kind != 0) ThrowDamaged("a long value has an unknown storage form");
  return ReadChained(file, format, pointer, length);
}

}  // namespace bracken::source::jet
