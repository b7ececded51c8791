#pragma once

// The null mask at the end of every row: one bit per column number, set when
// the column holds a value. A Yes/No column keeps its value in this bit.

#include <cstdint>

#include "source/jet/bytes.h"

namespace bracken::source::jet {

class NullMask {
 public:
  NullMask() = default;
  NullMask(Bytes mask, uint32_t columnCount) : mask_(mask), columnCount_(columnCount) {}
  // Columns the row does not reach (added after it was written) read as null.
  bool IsSet(uint32_t columnNumber) const {
    if (columnNumber >= columnCount_) return false;
    return (mask_.data()[columnNumber / 8] >> (columnNumber % 8)) & 1;
  }
  static uint32_t SizeFor(uint32_t columnCount) { return (columnCount + 7) / 8; }

 private:
  Bytes mask_;
  uint32_t columnCount_ = 0;
};

}  // namespace bracken::source::jet
