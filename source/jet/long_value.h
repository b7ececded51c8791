#pragma once

// Memo and OLE values. The row holds a 12-byte header: the length with two
// flag bits (inline; on one other page; chained over several pages), a row
// pointer, and for inline values the data right after it. A chained value
// starts each of its rows with the pointer to the next one.

#include <cstdint>
#include <string>

#include "source/jet/bytes.h"
#include "source/jet/format.h"
#include "source/jet/page_file.h"

namespace bracken::source::jet {

inline constexpr size_t kLongValueHeaderSize = 12;

// The stored length the header claims.
uint32_t LongValueLength(Bytes field);
// The whole stored value.
std::string ReadLongValue(const PageFile& file, const Format& format, Bytes field);

}  // namespace bracken::source::jet
