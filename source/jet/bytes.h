#pragma once

// Bounds-checked little-endian reads from a slice of a page or a record.
// Every read outside the slice raises a source error naming the structure.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "source/source_error.h"

namespace bracken::source::jet {

class Bytes {
 public:
  Bytes() = default;
  Bytes(const uint8_t* data, size_t size, const char* what = "record")
      : data_(data), size_(size), what_(what) {}
  Bytes(std::string_view text, const char* what = "record")
      : data_(reinterpret_cast<const uint8_t*>(text.data())), size_(text.size()), what_(what) {}

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const char* what() const { return what_; }

  // The part [offset, offset + length); raises when it does not fit.
  Bytes Sub(size_t offset, size_t length) const {
    Check(offset, length);
    return Bytes(data_ + offset, length, what_);
  }
  // The part from offset to the end.
  Bytes From(size_t offset) const {
    Check(offset, 0);
    return Bytes(data_ + offset, size_ - offset, what_);
  }
  std::string_view View() const {
    return std::string_view(reinterpret_cast<const char*>(data_), size_);
  }
  std::string String() const { return std::string(View()); }

  uint8_t U8(size_t offset) const {
    Check(offset, 1);
    return data_[offset];
  }
  uint16_t U16(size_t offset) const {
    Check(offset, 2);
    return static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
  }
  uint32_t U24(size_t offset) const {
    Check(offset, 3);
    return data_[offset] | (data_[offset + 1] << 8) | (uint32_t{data_[offset + 2]} << 16);
  }
  uint32_t U32(size_t offset) const {
    Check(offset, 4);
    return data_[offset] | (data_[offset + 1] << 8) | (data_[offset + 2] << 16) |
           (uint32_t{data_[offset + 3]} << 24);
  }
  uint64_t U64(size_t offset) const { return U32(offset) | (uint64_t{U32(offset + 4)} << 32); }
  double F64(size_t offset) const {
    uint64_t bits = U64(offset);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  float F32(size_t offset) const {
    uint32_t bits = U32(offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

 private:
  void Check(size_t offset, size_t length) const {
    if (offset > size_ || length > size_ - offset) ThrowOutside(what_);
  }
  [[noreturn, gnu::cold, gnu::noinline]] static void ThrowOutside(const char* what) {
    ThrowDamaged(std::string("a value lies outside its ") + what);
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  const char* what_ = "record";
};

}  // namespace bracken::source::jet
