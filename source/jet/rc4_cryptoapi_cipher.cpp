#include "source/jet/rc4_cryptoapi_cipher.h"

#include <algorithm>
#include <vector>

#include "source/jet/office_crypto.h"
#include "source/jet/office_encryption.h"
#include "source/jet/rc4.h"

namespace bracken::source::jet {

namespace {

constexpr uint32_t kRc4Algorithm = 0x6801;
constexpr uint32_t kSha1Algorithm = 0x8004;
constexpr size_t kSaltSize = 16;
constexpr size_t kVerifierSize = 16;
constexpr size_t kSha1Size = 20;

class Rc4CryptoApiCipher : public PageCipher {
 public:
  Rc4CryptoApiCipher(std::vector<uint8_t> passwordHash, size_t keyBytes,
                     std::array<uint8_t, 4> pageKey)
      : passwordHash_(std::move(passwordHash)), keyBytes_(keyBytes), pageKey_(pageKey) {}

  // The RC4 key of one block: the hash with the block key, cut to the key
  // size; a 40-bit key is padded with zeros to 128 bits.
  std::vector<uint8_t> KeyOf(ByteSpan blockKey) const {
    std::vector<uint8_t> key = FitToLength(sha1_.Of({passwordHash_, blockKey}), keyBytes_, 0);
    if (keyBytes_ == 5) key.resize(16, 0);
    return key;
  }

  void DecodePage(uint32_t n, uint8_t* data, size_t length) const override {
    std::array<uint8_t, 4> block = PageBlockKey(pageKey_, n);
    std::vector<uint8_t> key = KeyOf(block);
    ApplyRc4(key.data(), key.size(), data, length);
  }

 private:
  Digest sha1_{"SHA1"};
  std::vector<uint8_t> passwordHash_;
  size_t keyBytes_;
  std::array<uint8_t, 4> pageKey_;
};

size_t KeyBytesOf(Bytes header) {
  uint32_t algorithm = header.U32(8);
  uint32_t hash = header.U32(12);
  uint32_t bits = header.U32(16);
  if (algorithm != 0 && algorithm != kRc4Algorithm) {
    ThrowUnsupportedEncryption("algorithm " + std::to_string(algorithm));
  }
  if (hash != 0 && hash != kSha1Algorithm) {
    ThrowUnsupportedEncryption("hash algorithm " + std::to_string(hash));
  }
  if (bits == 0) bits = 40;
  if (bits < 40 || bits > 128 || bits % 8 != 0) {
    ThrowUnsupportedEncryption("an RC4 key of " + std::to_string(bits) + " bits");
  }
  return bits / 8;
}

}  // namespace

std::unique_ptr<PageCipher> OpenRc4CryptoApi(Bytes info, std::array<uint8_t, 4> pageKey,
                                             const std::string& password) {
  uint32_t headerSize = info.U32(8);
  Bytes header = info.Sub(12, headerSize);
  size_t keyBytes = KeyBytesOf(header);
  Bytes verifier = info.From(12 + size_t{headerSize});
  if (verifier.U32(0) != kSaltSize) ThrowDamaged("the encryption verifier has an odd salt");
  Bytes salt = verifier.Sub(4, kSaltSize);
  size_t hashSize = std::min<size_t>(verifier.U32(4 + kSaltSize + kVerifierSize), kSha1Size);
  std::vector<uint8_t> check(verifier.data() + 4 + kSaltSize,
                             verifier.data() + 4 + kSaltSize + kVerifierSize);
  Bytes storedHash = verifier.Sub(8 + kSaltSize + kVerifierSize, kSha1Size);
  check.insert(check.end(), storedHash.data(), storedHash.data() + kSha1Size);

  std::vector<uint8_t> units = PasswordUnits(password);
  Digest sha1("SHA1");
  auto cipher = std::make_unique<Rc4CryptoApiCipher>(
      sha1.Of({ByteSpan(salt.data(), salt.size()), units}), keyBytes, pageKey);
  // The verifier and its hash run through one RC4 stream under block 0.
  std::vector<uint8_t> key = cipher->KeyOf(LittleEndian32(0));
  ApplyRc4(key.data(), key.size(), check.data(), check.size());
  std::vector<uint8_t> hash = sha1.Of({ByteSpan(check.data(), kVerifierSize)});
  if (hashSize == 0 ||
      !std::equal(hash.begin(), hash.begin() + hashSize, check.begin() + kVerifierSize)) {
    ThrowSourceError("Not a valid password.");
  }
  return cipher;
}

}  // namespace bracken::source::jet
