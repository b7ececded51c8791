#pragma once

// Usage maps: which pages belong to a table. An inline map holds a start
// page and a bitmap; a reference map lists bitmap pages, each covering a
// fixed stretch of the file.

#include <cstdint>
#include <vector>

#include "source/jet/format.h"
#include "source/jet/page_file.h"

namespace bracken::source::jet {

// The pages the usage map at the given row pointer marks, in ascending order.
std::vector<uint32_t> ReadUsageMap(const PageFile& file, const Format& format, uint32_t pointer);

}  // namespace bracken::source::jet
