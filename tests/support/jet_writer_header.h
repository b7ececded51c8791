#pragma once

// The first page of the file: the engine name, the version, and the region
// obfuscated with RC4 that holds the code page, the sort order, the page
// key, the database password (in Jet 4 masked once more with the creation
// date) and, in Jet 4, the creation date itself.

#include <string>

#include "tests/support/jet_writer_format.h"

namespace bracken::testing::jet {

std::string BuildHeaderPage(const std::string& password, double creationDate,
                            const WriterFormat& format, uint32_t pageKey = 0);

// RC4 applied in place (encoding and decoding are the same).
void Rc4(const std::string& key, char* data, size_t length);

}  // namespace bracken::testing::jet
