#pragma once

// The database password of Access 2007 and later: the whole file but its
// header page is encrypted, and the header page describes how (at 0x299: a
// length, then the encryption description as Office documents keep it).
// Access 2007 encrypts with RC4 under SHA-1 derived keys ("RC4 CryptoAPI");
// Access 2010 and later use agile encryption (AES, keys derived with SHA-512
// by default, the algorithms named in an XML description).

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "source/jet/bytes.h"
#include "source/jet/page_cipher.h"

namespace bracken::source::jet {

// Where the header page keeps the description: a 16-bit length, then the bytes.
inline constexpr size_t kEncryptionInfoOffset = 0x299;

// Checks the password against the description and returns the cipher of the
// pages. A wrong or missing password raises "Not a valid password."; a
// scheme this reader does not know raises an error that names it. Every
// page's key (RC4) or initialisation vector (AES) is taken from pageKey, the
// four bytes at 0x3E of the header, xor-ed with the page number.
std::unique_ptr<PageCipher> OpenOfficeEncryption(Bytes info, std::array<uint8_t, 4> pageKey,
                                                 const std::string& password);

// The page key of page n: pageKey xor-ed with n in little-endian order.
std::array<uint8_t, 4> PageBlockKey(std::array<uint8_t, 4> pageKey, uint32_t n);

}  // namespace bracken::source::jet
