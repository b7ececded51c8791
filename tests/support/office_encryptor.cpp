#include "tests/support/office_encryptor.h"

#include <openssl/evp.h>

#include <array>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "source/jet/office_crypto.h"
#include "source/jet/rc4.h"

namespace bracken::testing {

namespace {

using source::jet::ByteSpan;
using source::jet::Digest;
using Buffer = std::vector<uint8_t>;

constexpr size_t kPageSize = 4096;
constexpr size_t kMaskedStart = 0x18;
constexpr size_t kMaskedLength = 128;
constexpr size_t kPageKeyOffset = 0x3E;
constexpr size_t kInfoOffset = 0x299;
constexpr uint8_t kHeaderMask[4] = {0xC7, 0xDA, 0x39, 0x6B};
constexpr std::array<uint8_t, 4> kPageKey = {0x5A, 0x17, 0xC3, 0x9E};

Buffer Fixed(size_t length, uint8_t seed) {
  Buffer out(length);
  for (size_t i = 0; i < length; ++i) out[i] = static_cast<uint8_t>(seed + 37 * i);
  return out;
}

// UTF-16LE of UTF-8 text in the Basic Multilingual Plane.
Buffer Utf16(const std::string& utf8) {
  Buffer out;
  for (size_t i = 0; i < utf8.size();) {
    auto lead = static_cast<uint8_t>(utf8[i]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
    uint32_t code = length == 1 ? lead : lead & (length == 2 ? 0x1F : 0x0F);
    for (size_t k = 1; k < length; ++k) code = (code << 6) | (utf8.at(i + k) & 0x3F);
    out.push_back(static_cast<uint8_t>(code));
    out.push_back(static_cast<uint8_t>(code >> 8));
    i += length;
  }
  return out;
}

Buffer BlockKey(uint32_t page) {
  Buffer key(kPageKey.begin(), kPageKey.end());
  for (int i = 0; i < 4; ++i) key[i] ^= static_cast<uint8_t>(page >> (8 * i));
  return key;
}

Buffer Fit(Buffer bytes, size_t length, uint8_t pad) {
  bytes.resize(length, pad);
  return bytes;
}

std::string Base64(const Buffer& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(),
                               static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(length));
  return out;
}

// The header page gets the page key (under its mask) and the description;
// every later page goes through encryptPage.
template <typename EncryptPage>
std::string Encrypt(std::string file, const Buffer& info, EncryptPage encryptPage) {
  if (file.size() < kPageSize || file.size() % kPageSize != 0 ||
      kInfoOffset + 2 + info.size() > kPageSize) {
    throw std::invalid_argument("not a whole file, or the description is too long");
  }
  auto* bytes = reinterpret_cast<uint8_t*>(file.data());
  source::jet::ApplyRc4(kHeaderMask, 4, bytes + kMaskedStart, kMaskedLength);
  std::memcpy(bytes + kPageKeyOffset, kPageKey.data(), 4);
  source::jet::ApplyRc4(kHeaderMask, 4, bytes + kMaskedStart, kMaskedLength);
  bytes[kInfoOffset] = static_cast<uint8_t>(info.size());
  bytes[kInfoOffset + 1] = static_cast<uint8_t>(info.size() >> 8);
  std::memcpy(bytes + kInfoOffset + 2, info.data(), info.size());
  for (size_t page = 1; page < file.size() / kPageSize; ++page) {
    encryptPage(static_cast<uint32_t>(page), bytes + page * kPageSize);
  }
  return file;
}

void Append32(Buffer& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::string AgileXml(const AgileSettings& s, size_t hashSize, const Buffer& dataSalt,
                     const Buffer& keySalt, const Buffer& input, const Buffer& hash,
                     const Buffer& key) {
  std::string common = " saltSize=\"16\" blockSize=\"16\" keyBits=\"" + std::to_string(s.keyBits) +
                       "\" hashSize=\"" + std::to_string(hashSize) +
                       "\" cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" "
                       "hashAlgorithm=\"" +
                       s.hash + "\" saltValue=\"";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
         "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
         "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
         "<keyData" +
         common + Base64(dataSalt) +
         "\"/><keyEncryptors><keyEncryptor "
         "uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
         "<p:encryptedKey spinCount=\"" +
         std::to_string(s.spinCount) + "\"" + common + Base64(keySalt) +
         "\" encryptedVerifierHashInput=\"" + Base64(input) + "\" encryptedVerifierHashValue=\"" +
         Base64(hash) + "\" encryptedKeyValue=\"" + Base64(key) +
         "\"/></keyEncryptor></keyEncryptors></encryption>";
}

}  // namespace

std::string EncryptAgile(const std::string& plain, const std::string& password,
                         const AgileSettings& settings) {
  Digest digest(settings.hash);
  size_t keyBytes = static_cast<size_t>(settings.keyBits) / 8;
  Buffer dataSalt = Fixed(16, 3), keySalt = Fixed(16, 71), fileKey = Fixed(keyBytes, 130);
  Buffer verifier = Fixed(16, 201);

  Buffer hash = digest.Of({keySalt, Utf16(password)});
  for (uint32_t i = 0; i < settings.spinCount; ++i) {
    Buffer counter;
    Append32(counter, i);
    hash = digest.Of({counter, hash});
  }
  auto lock = [&](Buffer value, std::initializer_list<uint8_t> block) {
    Buffer key = Fit(digest.Of({hash, Buffer(block)}), keyBytes, 0x36);
    value = Fit(value, (value.size() + 15) / 16 * 16, 0);
    source::jet::EncryptAesCbc(key, keySalt, value.data(), value.size());
    return value;
  };
  Buffer input = lock(verifier, {0xFE, 0xA7, 0xD2, 0x76, 0x3B, 0x4B, 0x9E, 0x79});
  Buffer check = lock(digest.Of({verifier}), {0xD7, 0xAA, 0x0F, 0x6D, 0x30, 0x61, 0x34, 0x4E});
  Buffer key = lock(fileKey, {0x14, 0x6E, 0x0B, 0xE7, 0xAB, 0xAC, 0xD0, 0xD6});

  Buffer info = {4, 0, 4, 0, 0x40, 0, 0, 0};
  std::string xml = AgileXml(settings, digest.Size(), dataSalt, keySalt, input, check, key);
  info.insert(info.end(), xml.begin(), xml.end());
  return Encrypt(plain, info, [&](uint32_t page, uint8_t* data) {
    Buffer iv = Fit(digest.Of({dataSalt, BlockKey(page)}), 16, 0x36);
    source::jet::EncryptAesCbc(fileKey, iv, data, kPageSize);
  });
}

std::string EncryptRc4CryptoApi(const std::string& plain, const std::string& password,
                                int keyBits) {
  Digest sha1("SHA1");
  Buffer salt = Fixed(16, 9), verifier = Fixed(16, 88);
  Buffer base = sha1.Of({salt, Utf16(password)});
  auto keyOf = [&](const Buffer& block) {
    Buffer key = Fit(sha1.Of({base, block}), static_cast<size_t>(keyBits) / 8, 0);
    return keyBits == 40 ? Fit(key, 16, 0) : key;
  };
  Buffer sealed = verifier;
  Buffer verifierHash = sha1.Of({verifier});
  sealed.insert(sealed.end(), verifierHash.begin(), verifierHash.end());
  Buffer zero = {0, 0, 0, 0};
  Buffer key0 = keyOf(zero);
  source::jet::ApplyRc4(key0.data(), key0.size(), sealed.data(), sealed.size());

  Buffer header;
  Append32(header, 0x04);    // flags: CryptoAPI
  Append32(header, 0);       // size extra
  Append32(header, 0x6801);  // RC4
  Append32(header, 0x8004);  // SHA-1
  Append32(header, static_cast<uint32_t>(keyBits));
  Append32(header, 1);  // provider type
  Append32(header, 0);
  Append32(header, 0);
  Buffer provider = Utf16("Microsoft Enhanced Cryptographic Provider v1.0");
  header.insert(header.end(), provider.begin(), provider.end());
  header.push_back(0);
  header.push_back(0);

  Buffer info = {4, 0, 2, 0, 0x0C, 0, 0, 0};
  Append32(info, static_cast<uint32_t>(header.size()));
  info.insert(info.end(), header.begin(), header.end());
  Append32(info, 16);
  info.insert(info.end(), salt.begin(), salt.end());
  info.insert(info.end(), sealed.begin(), sealed.begin() + 16);
  Append32(info, 20);
  info.insert(info.end(), sealed.begin() + 16, sealed.end());
  return Encrypt(plain, info, [&](uint32_t page, uint8_t* data) {
    Buffer key = keyOf(BlockKey(page));
    source::jet::ApplyRc4(key.data(), key.size(), data, kPageSize);
  });
}

}  // namespace bracken::testing
