#pragma once

// Index definitions in a table definition: the real indexes, each with up to
// ten key columns and its flags, and the logical indexes that Access shows,
// each naming the real index it uses (several may share one).

#include <cstdint>
#include <string>
#include <vector>

#include "source/jet/bytes.h"
#include "source/jet/format.h"

namespace bracken::source::jet {

inline constexpr uint8_t kRealIndexUnique = 0x01;
inline constexpr uint8_t kLogicalPrimaryKey = 0x01;
inline constexpr uint8_t kLogicalForeignKey = 0x02;

struct IndexKeyColumn {
  uint16_t columnNumber = 0;
  bool ascending = true;
};

struct RealIndex {
  std::vector<IndexKeyColumn> columns;  // in key order
  uint8_t flags = 0;
};

struct LogicalIndex {
  std::string name;
  uint32_t number = 0;
  uint32_t realIndex = 0;
  uint8_t kind = 0;  // 1 primary key, 2 foreign key
};

// Reads count real index entries starting at offset; returns the offset after them.
size_t ReadRealIndexes(Bytes definition, const Format& format, size_t offset, uint32_t count,
                       std::vector<RealIndex>& out);
// Reads count logical index entries and then their names.
size_t ReadLogicalIndexes(Bytes definition, const Format& format, uint16_t codePage, size_t offset,
                          uint32_t count, std::vector<LogicalIndex>& out);

// Reads a name: a length (one byte in Jet 3, two in Jet 4) and the text.
std::string ReadDefinitionName(Bytes definition, const Format& format, uint16_t codePage,
                               size_t& offset);

}  // namespace bracken::source::jet
