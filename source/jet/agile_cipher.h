#pragma once

// Access 2010 and later: agile encryption. The XML description names the
// hash and the block cipher; the password, salted and hashed spinCount times
// over, unlocks the file's key, and every page is decrypted in CBC mode with
// that key and an initialisation vector hashed from the key salt and the
// page's block key.

#include <array>
#include <memory>
#include <string>

#include "source/jet/bytes.h"
#include "source/jet/page_cipher.h"

namespace bracken::source::jet {

// info: the whole description (version 4.4, reserved, XML). Raises
// "Not a valid password." when the password verifier disagrees.
std::unique_ptr<PageCipher> OpenAgileEncryption(Bytes info, std::array<uint8_t, 4> pageKey,
                                                const std::string& password);

}  // namespace bracken::source::jet
