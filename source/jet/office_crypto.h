#pragma once

// The hashes and the block cipher of Office document encryption, over
// OpenSSL's libcrypto, and the small conversions the key derivations share.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct evp_md_st;

namespace bracken::source::jet {

using ByteSpan = std::span<const uint8_t>;

// A hash function named as Office names them ("SHA1", "SHA512", ...). An
// unknown name raises the unsupported-encryption error. Safe from several
// threads at once.
class Digest {
 public:
  explicit Digest(const std::string& name);
  size_t Size() const { return size_; }
  // The hash of the parts one after the other.
  std::vector<uint8_t> Of(std::initializer_list<ByteSpan> parts) const;

 private:
  std::shared_ptr<evp_md_st> md_;
  size_t size_ = 0;
};

// AES in CBC mode without padding under one key, for many pages: each
// thread expands the key once and keeps it while it decrypts under it.
class AesCbcDecryptor {
 public:
  explicit AesCbcDecryptor(std::vector<uint8_t> key);
  // The length must be a multiple of 16.
  void Decrypt(ByteSpan iv, uint8_t* data, size_t length) const;

 private:
  std::vector<uint8_t> key_;
  uint64_t id_;
};

// Decrypts data in place with AES in CBC mode without padding; the length
// must be a multiple of 16 and the key 16, 24 or 32 bytes.
void DecryptAesCbc(ByteSpan key, ByteSpan iv, uint8_t* data, size_t length);
// The reverse, for writers of test files.
void EncryptAesCbc(ByteSpan key, ByteSpan iv, uint8_t* data, size_t length);

// The bytes cut to length, or padded to it with the given byte.
std::vector<uint8_t> FitToLength(ByteSpan bytes, size_t length, uint8_t pad);
// A password as the UTF-16LE code units the key derivations hash.
std::vector<uint8_t> PasswordUnits(const std::string& utf8);
// Base64 text decoded; invalid text raises a damaged-file error.
std::vector<uint8_t> DecodeBase64(std::string_view text);
// The four little-endian bytes of a number.
std::vector<uint8_t> LittleEndian32(uint32_t value);

// "The database is encrypted in a way this reader does not know (WHAT)."
[[noreturn]] void ThrowUnsupportedEncryption(const std::string& what);

}  // namespace bracken::source::jet
