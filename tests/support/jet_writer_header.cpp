#include "tests/support/jet_writer_header.h"

#include <cmath>
#include <stdexcept>
#include <utility>

#include "tests/support/jet_writer_bytes.h"

namespace bracken::testing::jet {
namespace {

constexpr size_t kObfuscatedStart = 0x18;
constexpr size_t kPasswordOffset = 0x42;
constexpr size_t kCreationDateOffset = 0x72;
const char kHeaderKey[] = {'\xc7', '\xda', '\x39', '\x6b'};

// Jet 4 keeps 20 UTF-16 characters, masked once more with the whole days of
// the creation date; Jet 3 keeps 20 single-byte characters as they are.
void PlacePassword(std::string& page, const std::string& password, double creationDate,
                   const WriterFormat& format) {
  const size_t length = format.jet3 ? 20 : 40;
  std::string stored = NameBytes(password, format);
  if (stored.size() > length) throw std::invalid_argument("password longer than 20");
  stored.resize(length, '\0');
  if (!format.jet3) {
    auto days = static_cast<int32_t>(std::floor(creationDate));
    char mask[4];
    std::memcpy(mask, &days, 4);
    for (size_t i = 0; i < length; ++i) stored[i] ^= mask[i % 4];
  }
  page.replace(kPasswordOffset, length, stored);
}

}  // namespace

void Rc4(const std::string& key, char* data, size_t length) {
  unsigned char s[256];
  for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + static_cast<unsigned char>(key[i % key.size()])) & 0xff;
    std::swap(s[i], s[j]);
  }
  for (size_t k = 0, i = 0, j = 0; k < length; ++k) {
    i = (i + 1) & 0xff;
    j = (j + s[i]) & 0xff;
    std::swap(s[i], s[j]);
    data[k] = static_cast<char>(data[k] ^ s[(s[i] + s[j]) & 0xff]);
  }
}

std::string BuildHeaderPage(const std::string& password, double creationDate,
                            const WriterFormat& format, uint32_t pageKey) {
  std::string page(format.pageSize, '\0');
  page[1] = 0x01;
  page.replace(4, 16, std::string("Standard Jet DB\0", 16));
  page[0x14] = format.jet3 ? 0x00 : 0x01;
  Place<uint16_t>(page, 0x3c, 1252);     // code page
  Place<uint32_t>(page, 0x3e, pageKey);  // 0: pages are not encoded
  if (format.jet3) {
    Place<uint16_t>(page, 0x3a, 0x0409);  // general sort order
  } else {
    Place<uint16_t>(page, 0x6e, 0x0409);
    Place<double>(page, kCreationDateOffset, creationDate);
  }
  PlacePassword(page, password, creationDate, format);
  Rc4(std::string(kHeaderKey, 4), page.data() + kObfuscatedStart, format.jet3 ? 126 : 128);
  return page;
}

}  // namespace bracken::testing::jet
