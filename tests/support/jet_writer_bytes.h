#pragma once

// Little-endian building blocks of the fixture writer: appending and placing
// integers and floating-point numbers in byte strings, and UTF-16 text.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace bracken::testing::jet {

constexpr uint32_t kPageSize = 4096;

template <typename T>
void Append(std::string& out, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.append(bytes, sizeof(T));
}

template <typename T>
void Place(std::string& out, size_t offset, T value) {
  std::memcpy(out.data() + offset, &value, sizeof(T));
}

template <typename T>
void Place(char* out, size_t offset, T value) {
  std::memcpy(out + offset, &value, sizeof(T));
}

// UTF-8 to UTF-16 code units; invalid sequences become U+FFFD.
std::u16string Utf16(std::string_view utf8);

// UTF-16LE bytes, as names are stored.
std::string Ucs2Bytes(std::string_view utf8);

// A page and row pointer: the row number in the low byte.
inline uint32_t RowPointer(uint32_t page, uint32_t row) { return page << 8 | row; }

}  // namespace bracken::testing::jet
