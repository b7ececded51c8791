#pragma once

// The first page of the file: the engine name, the Jet 4 version, and the
// region obfuscated with RC4 that holds the code page, the page key, the
// database password (masked once more with the creation date) and the
// creation date itself.

#include <string>

namespace bracken::testing::jet {

std::string BuildHeaderPage(const std::string& password, double creationDate);

// RC4 applied in place (encoding and decoding are the same).
void Rc4(const std::string& key, char* data, size_t length);

}  // namespace bracken::testing::jet
