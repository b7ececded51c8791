#include "source/jet/agile_cipher.h"

#include <algorithm>
#include <vector>

#include "source/jet/office_crypto.h"
#include "source/jet/office_encryption.h"
#include "source/jet/xml_attributes.h"

namespace bracken::source::jet {

namespace {

// The block keys that set apart the three values the password unlocks.
constexpr uint8_t kVerifierInputBlock[] = {0xFE, 0xA7, 0xD2, 0x76, 0x3B, 0x4B, 0x9E, 0x79};
constexpr uint8_t kVerifierHashBlock[] = {0xD7, 0xAA, 0x0F, 0x6D, 0x30, 0x61, 0x34, 0x4E};
constexpr uint8_t kKeyValueBlock[] = {0x14, 0x6E, 0x0B, 0xE7, 0xAB, 0xAC, 0xD0, 0xD6};
constexpr uint32_t kMaxSpinCount = 10000000;

const std::string& Required(const XmlAttributes& attributes, const char* name) {
  auto found = attributes.find(name);
  if (found == attributes.end()) {
    ThrowDamaged(std::string("the encryption description lacks ") + name);
  }
  return found->second;
}

size_t Number(const XmlAttributes& attributes, const char* name) {
  const std::string& text = Required(attributes, name);
  if (text.empty() || text.size() > 9 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    ThrowDamaged(std::string("the encryption description has an odd ") + name);
  }
  return std::stoul(text);
}

// The algorithms and sizes of one element of the description.
struct Scheme {
  Digest digest;
  size_t keyBytes;
  size_t blockSize;
  std::vector<uint8_t> salt;

  explicit Scheme(const XmlAttributes& attributes)
      : digest(Required(attributes, "hashAlgorithm")),
        keyBytes(Number(attributes, "keyBits") / 8),
        blockSize(Number(attributes, "blockSize")),
        salt(DecodeBase64(Required(attributes, "saltValue"))) {
    const std::string& cipher = Required(attributes, "cipherAlgorithm");
    const std::string& chaining = Required(attributes, "cipherChaining");
    if (cipher != "AES" || chaining != "ChainingModeCBC" || blockSize != 16) {
      ThrowUnsupportedEncryption(cipher + " in " + chaining);
    }
  }
};

class AgileCipher : public PageCipher {
 public:
  AgileCipher(const XmlAttributes& keyData, std::vector<uint8_t> key,
              std::array<uint8_t, 4> pageKey)
      : scheme_(keyData), key_(std::move(key)), pageKey_(pageKey) {}

  void DecodePage(uint32_t n, uint8_t* data, size_t length) const override {
    std::array<uint8_t, 4> block = PageBlockKey(pageKey_, n);
    std::vector<uint8_t> iv =
        FitToLength(scheme_.digest.Of({scheme_.salt, block}), scheme_.blockSize, 0x36);
    key_.Decrypt(iv, data, length - length % scheme_.blockSize);
  }

 private:
  Scheme scheme_;
  AesCbcDecryptor key_;
  std::array<uint8_t, 4> pageKey_;
};

// The password's key encryptor: the salted password hashed spinCount times
// over, then once with each block key, unlocks the stored values.
class PasswordKey {
 public:
  PasswordKey(const XmlAttributes& encryptor, const std::string& password) : scheme_(encryptor) {
    size_t spins = Number(encryptor, "spinCount");
    if (spins > kMaxSpinCount)
      ThrowUnsupportedEncryption("a spin count of " + Required(encryptor, "spinCount"));
    hash_ = scheme_.digest.Of({scheme_.salt, PasswordUnits(password)});
    for (uint32_t i = 0; i < spins; ++i) hash_ = scheme_.digest.Of({LittleEndian32(i), hash_});
  }

  // A stored value decrypted under the key of one block.
  std::vector<uint8_t> Unlock(ByteSpan blockKey, const std::string& base64) const {
    std::vector<uint8_t> key =
        FitToLength(scheme_.digest.Of({hash_, blockKey}), scheme_.keyBytes, 0x36);
    std::vector<uint8_t> value = DecodeBase64(base64);
    std::vector<uint8_t> iv = FitToLength(scheme_.salt, scheme_.blockSize, 0x36);
    DecryptAesCbc(key, iv, value.data(), value.size() - value.size() % scheme_.blockSize);
    return value;
  }
  const Scheme& scheme() const { return scheme_; }

 private:
  Scheme scheme_;
  std::vector<uint8_t> hash_;
};

const XmlAttributes& PasswordEncryptor(const std::vector<XmlAttributes>& keys) {
  for (const XmlAttributes& key : keys) {
    if (key.count("spinCount")) return key;
  }
  ThrowUnsupportedEncryption("no password key encryptor");
}

}  // namespace

std::unique_ptr<PageCipher> OpenAgileEncryption(Bytes info, std::array<uint8_t, 4> pageKey,
                                                const std::string& password) {
  std::string_view xml = info.From(8).View();
  std::vector<XmlAttributes> keyData = ElementsNamed(xml, "keyData");
  if (keyData.empty()) ThrowDamaged("the encryption description lacks keyData");
  std::vector<XmlAttributes> keys = ElementsNamed(xml, "encryptedKey");
  const XmlAttributes& encryptor = PasswordEncryptor(keys);
  PasswordKey passwordKey(encryptor, password);

  std::vector<uint8_t> input =
      passwordKey.Unlock(kVerifierInputBlock, Required(encryptor, "encryptedVerifierHashInput"));
  input.resize(std::min(input.size(), passwordKey.scheme().salt.size()));
  std::vector<uint8_t> expected = passwordKey.scheme().digest.Of({input});
  std::vector<uint8_t> stored =
      passwordKey.Unlock(kVerifierHashBlock, Required(encryptor, "encryptedVerifierHashValue"));
  if (stored.size() < expected.size() ||
      !std::equal(expected.begin(), expected.end(), stored.begin())) {
    ThrowSourceError("Not a valid password.");
  }
  std::vector<uint8_t> key =
      passwordKey.Unlock(kKeyValueBlock, Required(encryptor, "encryptedKeyValue"));
  Scheme fileScheme(keyData.front());
  if (key.size() < fileScheme.keyBytes) ThrowDamaged("the encrypted key is too short");
  key.resize(fileScheme.keyBytes);
  return std::make_unique<AgileCipher>(keyData.front(), std::move(key), pageKey);
}

}  // namespace bracken::source::jet
