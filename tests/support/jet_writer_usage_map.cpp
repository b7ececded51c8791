#include "tests/support/jet_writer_usage_map.h"

#include <stdexcept>

namespace bracken::testing::jet {
namespace {

constexpr uint32_t kInlineBits = (kUsageMapRowSize - 5) * 8;
constexpr size_t kMaxBitmapPages = (kUsageMapRowSize - 1) / 4;

void SetBit(char* bitmap, uint32_t bit) { bitmap[bit / 8] |= static_cast<char>(1 << (bit % 8)); }

std::string InlineMap(const std::vector<uint32_t>& pages) {
  std::string row(kUsageMapRowSize, '\0');
  uint32_t start = pages.empty() ? 0 : pages.front();
  Place<uint32_t>(row, 1, start);
  for (uint32_t page : pages) SetBit(row.data() + 5, page - start);
  return row;
}

std::string PagedMap(const std::vector<uint32_t>& pages, const std::function<uint32_t()>& allocate,
                     PageSink& sink, uint32_t pageSize) {
  const uint32_t bitmapPageBits = (pageSize - 4) * 8;
  std::string row(kUsageMapRowSize, '\0');
  row[0] = 0x01;
  size_t next = 0;
  while (next < pages.size()) {
    uint32_t index = pages[next] / bitmapPageBits;
    if (index >= kMaxBitmapPages) throw std::length_error("file too large for a usage map");
    std::string bitmap(pageSize, '\0');
    bitmap[0] = 0x05;
    bitmap[1] = 0x01;
    for (; next < pages.size() && pages[next] / bitmapPageBits == index; ++next) {
      SetBit(bitmap.data() + 4, pages[next] % bitmapPageBits);
    }
    uint32_t bitmapPage = allocate();
    sink.Put(bitmapPage, bitmap);
    Place<uint32_t>(row, 1 + 4 * index, bitmapPage);
  }
  return row;
}

}  // namespace

std::string BuildUsageMap(const std::vector<uint32_t>& pages,
                          const std::function<uint32_t()>& allocate, PageSink& sink,
                          uint32_t pageSize) {
  if (pages.empty() || pages.back() - pages.front() < kInlineBits) return InlineMap(pages);
  return PagedMap(pages, allocate, sink, pageSize);
}

}  // namespace bracken::testing::jet
