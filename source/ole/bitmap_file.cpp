#include "source/ole/bitmap_file.h"

#include <cstdint>

#include "source/jet/bytes.h"
#include "source/source_error.h"

namespace bracken::source::ole {

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;  // BITMAPCOREHEADER, OS/2's
constexpr uint32_t kBitFields = 3;

void PutU32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The bytes before the pixels in a bare bitmap (its header, colour masks and
// colour table); nullopt when the header is none that Windows writes.
std::optional<uint32_t> PixelOffset(jet::Bytes dib) {
  const uint32_t headerBytes = dib.U32(0);
  if (headerBytes == kCoreHeaderBytes) {
    const uint16_t bitCount = dib.U16(10);
    if (dib.U16(8) != 1 || (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)) {
      return std::nullopt;
    }
    return kCoreHeaderBytes + (bitCount <= 8 ? 3u << bitCount : 0u);
  }
  if (headerBytes != 40 && headerBytes != 52 && headerBytes != 56 && headerBytes != 64 &&
      headerBytes != 108 && headerBytes != 124) {
    return std::nullopt;
  }
  const int32_t width = static_cast<int32_t>(dib.U32(4));
  const int32_t height = static_cast<int32_t>(dib.U32(8));
  const uint16_t planes = dib.U16(12);
  const uint16_t bitCount = dib.U16(14);
  const uint32_t compression = dib.U32(16);
  uint32_t colours = dib.U32(32);
  if (width <= 0 || height == 0 || planes != 1) return std::nullopt;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32) {
    return std::nullopt;
  }
  if (colours == 0 && bitCount <= 8) colours = 1u << bitCount;
  if (colours > 256 && bitCount <= 8) return std::nullopt;
  if (colours > (1u << 16)) return std::nullopt;
  const uint32_t masks = headerBytes == 40 && compression == kBitFields ? 12 : 0;
  return headerBytes + masks + colours * 4;
}

}  // namespace

std::optional<std::string> BitmapFile(std::string_view bytes) {
  try {
    jet::Bytes data(bytes, "bitmap");
    if (bytes.substr(0, 2) == "BM") {
      const uint32_t fileBytes = data.U32(2);
      const uint32_t offset = data.U32(10);
      const uint32_t headerBytes = data.U32(kFileHeaderBytes);
      if (offset < kFileHeaderBytes + headerBytes || offset > bytes.size()) return std::nullopt;
      // Paint pads its native data; the file ends where its header says.
      if (fileBytes >= offset && fileBytes <= bytes.size()) {
        return std::string(bytes.substr(0, fileBytes));
      }
      return std::string(bytes);
    }
    if (bytes.size() > UINT32_MAX - kFileHeaderBytes) return std::nullopt;
    const std::optional<uint32_t> pixels = PixelOffset(data);
    if (!pixels || *pixels >= bytes.size()) return std::nullopt;
    std::string file("BM");
    PutU32(file, static_cast<uint32_t>(kFileHeaderBytes + bytes.size()));
    PutU32(file, 0);
    PutU32(file, kFileHeaderBytes + *pixels);
    file.append(bytes);
    return file;
  } catch (const SourceError&) {
    return std::nullopt;
  }
}

}  // namespace bracken::source::ole
