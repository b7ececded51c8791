#pragma once

// Little-endian building blocks of the fixture writer: appending and placing
// integers and floating-point numbers in byte strings, UTF-16 text, and
// Windows-1252 text for Jet 3.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "tests/support/jet_writer_format.h"

namespace bracken::testing::jet {

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

// Windows-1252 bytes; a character the code page lacks throws
// std::invalid_argument.
std::string Cp1252Bytes(std::string_view utf8);

// Names and property text as the version stores them: UTF-16LE in Jet 4,
// Windows-1252 in Jet 3.
std::string NameBytes(std::string_view utf8, const WriterFormat& format);

// A page and row pointer: the row number in the low byte.
inline uint32_t RowPointer(uint32_t page, uint32_t row) { return page << 8 | row; }

}  // namespace bracken::testing::jet
