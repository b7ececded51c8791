#pragma once

// Memo and OLE values. The row holds a 12-byte header: the length with two
// flag bits (inline; on one other page; chained over several pages), a row
// pointer, and for inline values the data right after it. A chained value
// starts each of its rows with the pointer to the next one.

#include <cstdint>
#include <string>
#include <vector>

#include "source/jet/bytes.h"
#include "source/jet/format.h"
#include "source/jet/page_file.h"

namespace bracken::source::jet {

inline constexpr size_t kLongValueHeaderSize = 12;

// The stored length the header claims.
uint32_t LongValueLength(Bytes field);

// Reads long values for a scan. It keeps the last page it read and the last
// chained value it put together, so that a value asked for twice (its size,
// then its value) or several values on one page cost one read.
class LongValueReader {
 public:
  LongValueReader(const PageFile& file, const Format& format) : file_(&file), format_(format) {}
  // The whole stored value of a row's 12-byte header and what follows it;
  // the bytes stay valid until the next call.
  Bytes Read(Bytes field);

 private:
  Bytes Row(uint32_t pointer);
  Bytes Chained(uint32_t pointer, uint32_t length);

  const PageFile* file_;
  Format format_;
  std::vector<uint8_t> page_;
  uint32_t pageNumber_ = 0;  // of page_; 0 while it holds none (page 0 is the header)
  std::string chained_;
  uint32_t chainedPointer_ = 0;  // of chained_; 0 while it holds none
  uint32_t chainedLength_ = 0;
};

}  // namespace bracken::source::jet
