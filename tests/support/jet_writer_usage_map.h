#pragma once

// Usage maps: which pages belong to a table, a long-value column or an index.
// Small sets fit in the row itself (a start page and a bitmap); large ones
// point to bitmap pages, each covering a fixed range of the file.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/jet_writer_pages.h"

namespace bracken::testing::jet {

// Every map row has this size, so rows can be reserved before their pages
// are known.
constexpr size_t kUsageMapRowSize = 69;

// The map row for `pages` (ascending). Bitmap pages it needs are taken from
// `allocate` and written to `sink`; each covers what a page of `pageSize`
// bytes can mark.
std::string BuildUsageMap(const std::vector<uint32_t>& pages,
                          const std::function<uint32_t()>& allocate, PageSink& sink,
                          uint32_t pageSize);

}  // namespace bracken::testing::jet
