#include "source/jet/properties.h"

#include "source/jet/column_kinds.h"
#include "source/jet/text_decoding.h"

namespace bracken::source::jet {

namespace {

constexpr uint16_t kNameBlock = 0x80;

std::vector<std::string> ReadNames(Bytes body, const Format& format, uint16_t codePage) {
  std::vector<std::string> names;
  size_t offset = 0;
  while (offset + 2 <= body.size()) {
    uint16_t length = body.U16(offset);
    names.push_back(DecodeText(body.Sub(offset + 2, length), format.jet3, codePage));
    offset += 2 + size_t{length};
  }
  return names;
}

Variant PropertyValue(uint8_t type, Bytes value, const Format& format, uint16_t codePage) {
  if (!IsKnownKind(type)) return Variant::Binary(value.String());
  switch (static_cast<ColumnKind>(type)) {
    case ColumnKind::Boolean:
      return Variant::Boolean(!value.empty() && value.U8(0) != 0);
    case ColumnKind::Byte:
      return Variant::Byte(value.U8(0));
    case ColumnKind::Integer:
      return Variant::Integer(static_cast<int16_t>(value.U16(0)));
    case ColumnKind::Long:
      return Variant::Long(static_cast<int32_t>(value.U32(0)));
    case ColumnKind::Currency:
      return Variant::Currency(static_cast<int64_t>(value.U64(0)));
    case ColumnKind::Single:
      return Variant::Single(value.F32(0));
    case ColumnKind::Double:
      return Variant::Double(value.F64(0));
    case ColumnKind::DateTime:
      return Variant::Date(value.F64(0));
    case ColumnKind::Text:
    case ColumnKind::Memo:
      return Variant::Text(DecodeText(value, format.jet3, codePage));
    case ColumnKind::Guid:
      return Variant::Guid(value.Sub(0, 16).String());
    default:
      return Variant::Binary(value.String());
  }
}

PropertyBlock ReadValues(Bytes body, const std::vector<std::string>& names, const Format& format,
                         uint16_t codePage) {
  PropertyBlock block;
  uint32_t headerLength = body.U32(0);
  uint16_t ownerLength = body.U16(4);
  block.owner = DecodeText(body.Sub(6, ownerLength), format.jet3, codePage);
  size_t offset = std::max<size_t>(headerLength, 6 + size_t{ownerLength});
  while (offset + 8 <= body.size()) {
    uint16_t entryLength = body.U16(offset);
    if (entryLength < 8) ThrowDamaged("a property entry is too short");
    Bytes entry = body.Sub(offset, entryLength);
    uint8_t type = entry.U8(3);
    uint16_t nameIndex = entry.U16(4);
    uint16_t valueLength = entry.U16(6);
    if (nameIndex >= names.size()) ThrowDamaged("a property names no known property");
    block.values.emplace_back(names[nameIndex],
                              PropertyValue(type, entry.Sub(8, valueLength), format, codePage));
    offset += entryLength;
  }
  return block;
}

}  // namespace

std::vector<PropertyBlock> ParseProperties(Bytes blob, const Format& format, uint16_t codePage) {
  std::vector<PropertyBlock> blocks;
  if (blob.size() < 4) return blocks;
  std::vector<std::string> names;
  size_t offset = 4;  // "MR2\0" in Jet 4, "KKD\0" in Jet 3
  while (offset + 6 <= blob.size()) {
    uint32_t length = blob.U32(offset);
    uint16_t type = blob.U16(offset + 4);
    if (length < 6) ThrowDamaged("a property block is too short");
    Bytes body = blob.Sub(offset + 6, length - 6);
    if (type == kNameBlock) {
      names = ReadNames(body, format, codePage);
    } else {
      blocks.push_back(ReadValues(body, names, format, codePage));
    }
    offset += length;
  }
  return blocks;
}

}  // namespace bracken::source::jet
