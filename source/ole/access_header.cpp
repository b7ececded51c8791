#include "source/ole/access_header.h"

#include "source/jet/bytes.h"
#include "source/ole/ole1_object.h"
#include "source/source_error.h"

namespace bracken::source::ole {

namespace {

constexpr uint16_t kSignature = 0x1C15;
constexpr std::size_t kFixedBytes = 20;

// A text of `characters` (counting its NUL) at `offset`, which must lie in
// the header.
std::string HeaderText(jet::Bytes header, uint16_t offset, uint16_t characters) {
  if (characters == 0) return {};
  return AnsiText(header.Sub(offset, characters));
}

}  // namespace

bool HasAccessHeader(std::string_view value) {
  return value.size() >= 2 && static_cast<unsigned char>(value[0]) == (kSignature & 0xFF) &&
         static_cast<unsigned char>(value[1]) == (kSignature >> 8);
}

AccessHeader ReadAccessHeader(std::string_view value) {
  jet::Bytes all(value, "OLE object");
  const uint16_t headerBytes = all.U16(2);
  if (headerBytes < kFixedBytes) ThrowDamaged("an OLE object's header is too short");
  jet::Bytes header = all.Sub(0, headerBytes);
  AccessHeader out;
  out.objectType = header.U32(4);
  const uint16_t nameCharacters = header.U16(8);
  const uint16_t classCharacters = header.U16(10);
  out.name = HeaderText(header, header.U16(12), nameCharacters);
  out.className = HeaderText(header, header.U16(14), classCharacters);
  out.objectStart = headerBytes;
  return out;
}

}  // namespace bracken::source::ole
