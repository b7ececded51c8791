#pragma once

// Access 2007's encryption: RC4 with a key per page, each the SHA-1 hash of
// the salted password hash and the page's block key, cut to the key size
// (40-bit keys are padded with zeros to 128 bits).

#include <array>
#include <memory>
#include <string>

#include "source/jet/bytes.h"
#include "source/jet/page_cipher.h"

namespace bracken::source::jet {

// info: the whole description (version, flags, header size, header,
// verifier). Raises "Not a valid password." when the verifier disagrees.
std::unique_ptr<PageCipher> OpenRc4CryptoApi(Bytes info, std::array<uint8_t, 4> pageKey,
                                             const std::string& password);

}  // namespace bracken::source::jet
