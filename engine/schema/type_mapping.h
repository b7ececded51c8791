#pragma once

#include <cstdint>
#include <string>

namespace bracken::engine {

// The MySQL column type for an Access column as the source describes it;
// "" for a type code it does not know. Also the key by which value literals
// recognise a column's kind.
std::string MapColumnType(int32_t typeCode, int32_t definedSize, uint8_t numericScale,
                          uint8_t precision);

}  // namespace bracken::engine
