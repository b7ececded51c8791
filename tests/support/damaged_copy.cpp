#include "tests/support/damaged_copy.h"

#include <algorithm>

namespace bracken::testing {

namespace {

constexpr std::size_t kPage = 4096;
// A Jet 4 data page: its type, the page of its table's definition, its rows.
constexpr std::size_t kOwnerAt = 4;
constexpr std::size_t kRowCountAt = 12;

long LittleEndian(std::string_view bytes, std::size_t at, int size) {
  long value = 0;
  for (int i = size - 1; i >= 0; --i) {
    value = value * 256 + static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  }
  return value;
}

}  // namespace

ZeroedPage ZeroDataPageHolding(std::string& file, std::string_view marker) {
  ZeroedPage zeroed;
  for (std::size_t page = 1; (page + 1) * kPage <= file.size(); ++page) {
    std::string_view content(file.data() + page * kPage, kPage);
    if (content[0] != '\x01' || content.find(marker) == std::string_view::npos) continue;
    zeroed.page = static_cast<long>(page);
    zeroed.definition = LittleEndian(content, kOwnerAt, 4);
    zeroed.rows = static_cast<int>(LittleEndian(content, kRowCountAt, 2));
    ZeroPage(file, zeroed.page);
    break;
  }
  return zeroed;
}

void ZeroPage(std::string& file, long page) {
  const auto start = static_cast<std::size_t>(page) * kPage;
  if (start + kPage > file.size()) return;
  std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(start), kPage, '\0');
}

}  // namespace bracken::testing
