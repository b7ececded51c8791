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

long BreakRowHolding(std::string& file, std::string_view marker) {
  std::string wide;
  for (char c : marker) wide += {c, '\0'};
  for (std::size_t page = 1; (page + 1) * kPage <= file.size(); ++page) {
    char* content = file.data() + page * kPage;
    std::string_view view(content, kPage);
    if (content[0] != '\x01') continue;
    std::size_t at = view.find(marker);
    if (at == std::string_view::npos) at = view.find(wide);
    if (at == std::string_view::npos) continue;
    // Rows lie from the page's end down; row i ends where row i-1 starts.
    const long rows = LittleEndian(view, kRowCountAt, 2);
    std::size_t end = kPage;
    for (long row = 0; row < rows; ++row) {
      const std::size_t entry = kRowCountAt + 2 + static_cast<std::size_t>(row) * 2;
      const auto start = static_cast<std::size_t>(LittleEndian(view, entry, 2) & 0x1FFF);
      if (start <= at && at < end) {
        content[entry] = '\xFF';
        content[entry + 1] = static_cast<char>(content[entry + 1] | 0x1F);
        return static_cast<long>(page);
      }
      end = start;
    }
  }
  return 0;
}

void ZeroPage(std::string& file, long page) {
  const auto start = static_cast<std::size_t>(page) * kPage;
  if (start + kPage > file.size()) return;
  std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(start), kPage, '\0');
}

}  // namespace bracken::testing
