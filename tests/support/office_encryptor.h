#pragma once

// Encrypts an unencrypted Access 2007 or later file the way Access does when
// it sets a database password, for tests of the reader's decryption: agile
// encryption (Access 2010 and later) or RC4 CryptoAPI (Access 2007). Written
// from the description of the format, apart from the reader.

#include <cstdint>
#include <string>

namespace bracken::testing {

struct AgileSettings {
  std::string hash = "SHA512";  // SHA1, SHA256, SHA384 or SHA512
  int keyBits = 256;            // AES-128, -192 or -256
  uint32_t spinCount = 100000;
};

// The file's bytes encrypted under the password.
std::string EncryptAgile(const std::string& plain, const std::string& password,
                         const AgileSettings& settings = {});
// keyBits: 40 to 128.
std::string EncryptRc4CryptoApi(const std::string& plain, const std::string& password,
                                int keyBits = 128);

}  // namespace bracken::testing
