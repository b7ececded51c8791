#include "source/jet/office_encryption.h"

#include "source/jet/agile_cipher.h"
#include "source/jet/office_crypto.h"
#include "source/jet/rc4_cryptoapi_cipher.h"

namespace bracken::source::jet {

namespace {

constexpr uint32_t kCryptoApiFlag = 0x04;
constexpr uint32_t kAesFlag = 0x20;

}  // namespace

std::unique_ptr<PageCipher> OpenOfficeEncryption(Bytes info, std::array<uint8_t, 4> pageKey,
                                                 const std::string& password) {
  uint16_t major = info.U16(0);
  uint16_t minor = info.U16(2);
  if (major == 4 && minor == 4) return OpenAgileEncryption(info, pageKey, password);
  if (minor == 2 && major >= 2 && major <= 4) {
    uint32_t flags = info.U32(4);
    if ((flags & kCryptoApiFlag) && !(flags & kAesFlag)) {
      return OpenRc4CryptoApi(info, pageKey, password);
    }
    ThrowUnsupportedEncryption("standard encryption with flags " + std::to_string(flags));
  }
  ThrowUnsupportedEncryption("version " + std::to_string(major) + "." + std::to_string(minor));
}

std::array<uint8_t, 4> PageBlockKey(std::array<uint8_t, 4> pageKey, uint32_t n) {
  for (int i = 0; i < 4; ++i) pageKey[i] ^= static_cast<uint8_t>(n >> (8 * i));
  return pageKey;
}

}  // namespace bracken::source::jet
