#include "source/jet/index_definition.h"

#include "source/jet/text_decoding.h"

namespace bracken::source::jet {

namespace {

constexpr int kKeySlots = 10;
constexpr uint16_t kUnusedSlot = 0xFFFF;

}  // namespace

size_t ReadRealIndexes(Bytes definition, const Format& format, size_t offset, uint32_t count,
                       std::vector<RealIndex>& out) {
  for (uint32_t i = 0; i < count; ++i) {
    Bytes entry = definition.Sub(offset, format.realIndexEntrySize);
    RealIndex index;
    for (int slot = 0; slot < kKeySlots; ++slot) {
      size_t at = format.realIndexColumns + slot * 3;
      uint16_t column = entry.U16(at);
      if (column == kUnusedSlot) continue;
      index.columns.push_back({column, entry.U8(at + 2) != 0x02});
    }
    index.flags = entry.U8(format.realIndexFlags);
    out.push_back(std::move(index));
    offset += format.realIndexEntrySize;
  }
  return offset;
}

size_t ReadLogicalIndexes(Bytes definition, const Format& format, uint16_t codePage, size_t offset,
                          uint32_t count, std::vector<LogicalIndex>& out) {
  for (uint32_t i = 0; i < count; ++i) {
    Bytes entry = definition.Sub(offset, format.logicalIndexEntrySize);
    LogicalIndex index;
    index.number = entry.U32(format.logicalIndexNumber);
    index.realIndex = entry.U32(format.logicalIndexReal);
    index.kind = entry.U8(format.logicalIndexKind);
    out.push_back(std::move(index));
    offset += format.logicalIndexEntrySize;
  }
  for (auto& index : out) index.name = ReadDefinitionName(definition, format, codePage, offset);
  return offset;
}

std::string ReadDefinitionName(Bytes definition, const Format& format, uint16_t codePage,
                               size_t& offset) {
  size_t length = format.nameLengthSize == 1 ? definition.U8(offset) : definition.U16(offset);
  offset += format.nameLengthSize;
  Bytes stored = definition.Sub(offset, length);
  offset += length;
  return DecodeText(stored, format.jet3, codePage);
}

}  // namespace bracken::source::jet
