#pragma once

// The RC4 stream cipher, with which Jet masks part of the header page and,
// in encoded databases, every other page.

#include <cstddef>
#include <cstdint>

namespace bracken::source::jet {

// Applies RC4 with the given key to data in place.
void ApplyRc4(const uint8_t* key, size_t keyLength, uint8_t* data, size_t length);

}  // namespace bracken::source::jet
