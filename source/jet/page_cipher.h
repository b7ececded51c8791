#pragma once

// How the pages of an encrypted database are decoded as they are read. Each
// page after the header is encrypted on its own, under a key or an
// initialisation vector taken from its number.

#include <cstddef>
#include <cstdint>

namespace bracken::source::jet {

class PageCipher {
 public:
  virtual ~PageCipher() = default;
  // Decodes page n (n >= 1) in place. Safe from several threads at once.
  virtual void DecodePage(uint32_t n, uint8_t* data, size_t length) const = 0;
};

}  // namespace bracken::source::jet
