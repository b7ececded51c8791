#include "source/jet/office_crypto.h"

#include <openssl/evp.h>

#include <atomic>
#include <memory>

#include "source/source_error.h"

namespace bracken::source::jet {

namespace {

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

const EVP_CIPHER* AesCbcOf(size_t keyLength) {
  switch (keyLength) {
    case 16:
      return EVP_aes_128_cbc();
    case 24:
      return EVP_aes_192_cbc();
    case 32:
      return EVP_aes_256_cbc();
    default:
      ThrowUnsupportedEncryption("an AES key of " + std::to_string(keyLength * 8) + " bits");
  }
}

void ApplyAesCbc(ByteSpan key, ByteSpan iv, uint8_t* data, size_t length, bool encrypt) {
  if (length % 16 != 0 || iv.size() != 16) ThrowDamaged("an encrypted block is not whole");
  CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  int done = 0;
  if (!context ||
      EVP_CipherInit_ex(context.get(), AesCbcOf(key.size()), nullptr, key.data(), iv.data(),
                        encrypt ? 1 : 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1 ||
      EVP_CipherUpdate(context.get(), data, &done, data, static_cast<int>(length)) != 1 ||
      static_cast<size_t>(done) != length) {
    ThrowSourceError("The page cipher failed.");
  }
}

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

// The contexts each thread reuses; the cipher's remembers whose key it holds.
struct ThreadContexts {
  DigestContext digest{EVP_MD_CTX_new(), &EVP_MD_CTX_free};
  CipherContext cipher{EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free};
  uint64_t cipherKeyId = 0;
};

ThreadContexts& Contexts() {
  thread_local ThreadContexts contexts;
  if (!contexts.digest || !contexts.cipher) ThrowSourceError("The page cipher failed.");
  return contexts;
}

std::atomic<uint64_t> nextKeyId{1};

}  // namespace

Digest::Digest(const std::string& name) {
  // Only the names Office writes; the fetch would accept many more.
  for (const char* known : {"MD5", "SHA1", "SHA256", "SHA384", "SHA512"}) {
    if (name == known) md_.reset(EVP_MD_fetch(nullptr, known, nullptr), &EVP_MD_free);
  }
  if (!md_) ThrowUnsupportedEncryption("the hash " + name);
  size_ = static_cast<size_t>(EVP_MD_get_size(md_.get()));
}

std::vector<uint8_t> Digest::Of(std::initializer_list<ByteSpan> parts) const {
  EVP_MD_CTX* context = Contexts().digest.get();
  std::vector<uint8_t> out(EVP_MAX_MD_SIZE);
  unsigned int length = 0;
  bool ok = EVP_DigestInit_ex(context, md_.get(), nullptr) == 1;
  for (ByteSpan part : parts) ok = ok && EVP_DigestUpdate(context, part.data(), part.size()) == 1;
  if (!ok || EVP_DigestFinal_ex(context, out.data(), &length) != 1) {
    ThrowSourceError("The hash of the password failed.");
  }
  out.resize(length);
  return out;
}

AesCbcDecryptor::AesCbcDecryptor(std::vector<uint8_t> key)
    : key_(std::move(key)), id_(nextKeyId++) {
  AesCbcOf(key_.size());  // refuses an odd key size now rather than at the first page
}

void AesCbcDecryptor::Decrypt(ByteSpan iv, uint8_t* data, size_t length) const {
  if (length % 16 != 0 || iv.size() != 16) ThrowDamaged("an encrypted block is not whole");
  ThreadContexts& contexts = Contexts();
  EVP_CIPHER_CTX* context = contexts.cipher.get();
  // A context that holds this key already takes the new vector alone.
  const bool fresh = contexts.cipherKeyId != id_;
  contexts.cipherKeyId = 0;
  int done = 0;
  if (EVP_DecryptInit_ex(context, fresh ? AesCbcOf(key_.size()) : nullptr, nullptr,
                         fresh ? key_.data() : nullptr, iv.data()) != 1 ||
      EVP_CIPHER_CTX_set_padding(context, 0) != 1 ||
      EVP_DecryptUpdate(context, data, &done, data, static_cast<int>(length)) != 1 ||
      static_cast<size_t>(done) != length) {
    ThrowSourceError("The page cipher failed.");
  }
  contexts.cipherKeyId = id_;
}

void DecryptAesCbc(ByteSpan key, ByteSpan iv, uint8_t* data, size_t length) {
  ApplyAesCbc(key, iv, data, length, false);
}

void EncryptAesCbc(ByteSpan key, ByteSpan iv, uint8_t* data, size_t length) {
  ApplyAesCbc(key, iv, data, length, true);
}

std::vector<uint8_t> FitToLength(ByteSpan bytes, size_t length, uint8_t pad) {
  std::vector<uint8_t> out(bytes.begin(), bytes.begin() + std::min(bytes.size(), length));
  out.resize(length, pad);
  return out;
}

std::vector<uint8_t> PasswordUnits(const std::string& utf8) {
  std::vector<uint8_t> out;
  auto put = [&out](uint32_t unit) {
    out.push_back(static_cast<uint8_t>(unit));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  };
  for (size_t i = 0; i < utf8.size();) {
    auto byte = static_cast<uint8_t>(utf8[i]);
    size_t extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
    uint32_t code = extra == 0 ? byte : byte & (0x3F >> extra);
    bool valid = byte < 0x80 || (byte >= 0xC2 && byte < 0xF5);
    for (size_t k = 1; k <= extra; ++k) {
      auto next = i + k < utf8.size() ? static_cast<uint8_t>(utf8[i + k]) : 0;
      valid = valid && (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid) {
      put(0xFFFD);
      ++i;
      continue;
    }
    i += extra + 1;
    if (code >= 0x10000) {
      code -= 0x10000;
      put(0xD800 | (code >> 10));
      put(0xDC00 | (code & 0x3FF));
    } else {
      put(code);
    }
  }
  return out;
}

std::vector<uint8_t> DecodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) ThrowDamaged("the encryption description holds invalid base64");
  std::vector<uint8_t> out(text.size() / 4 * 3);
  int length = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                               static_cast<int>(text.size()));
  if (length < 0) ThrowDamaged("the encryption description holds invalid base64");
  size_t padding = 0;
  for (size_t i = text.size(); i > 0 && text[i - 1] == '=' && padding < 2; --i) ++padding;
  out.resize(static_cast<size_t>(length) - padding);
  return out;
}

std::vector<uint8_t> LittleEndian32(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

void ThrowUnsupportedEncryption(const std::string& what) {
  ThrowSourceError("The database is encrypted in a way this reader does not know (" + what + ").");
}

}  // namespace bracken::source::jet
