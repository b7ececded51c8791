#include "source/jet/usage_map.h"

#include "source/jet/data_page.h"

namespace bracken::source::jet {

namespace {

constexpr uint8_t kInlineMap = 0x00;
constexpr uint8_t kReferenceMap = 0x01;

void AddBitmapPages(Bytes bitmap, uint64_t firstPage, const PageFile& file,
                    std::vector<uint32_t>& pages) {
  for (size_t byte = 0; byte < bitmap.size(); ++byte) {
    uint8_t bits = bitmap.data()[byte];
    for (int bit = 0; bits != 0 && bit < 8; ++bit) {
      if ((bits & (1u << bit)) == 0) continue;
      uint64_t page = firstPage + byte * 8 + bit;
      if (page >= file.PageCount()) ThrowDamaged("a usage map marks a page beyond the file");
      pages.push_back(static_cast<uint32_t>(page));
    }
  }
}

}  // namespace

std::vector<uint32_t> ReadUsageMap(const PageFile& file, const Format& format, uint32_t pointer) {
  std::vector<uint8_t> page;
  file.ReadPage(PointerPage(pointer), page);
  Bytes pageBytes(page.data(), page.size(), "usage map");
  if (page[0] != kDataPageType) ThrowDamaged("a usage map pointer does not lead to a data page");
  RowSlot slot = PageRow(pageBytes, format, PointerRow(pointer));
  if (slot.bytes.empty()) ThrowDamaged("a usage map is missing");
  Bytes map = slot.bytes;
  std::vector<uint32_t> pages;
  if (map.U8(0) == kInlineMap) {
    AddBitmapPages(map.From(5), map.U32(1), file, pages);
  } else if (map.U8(0) == kReferenceMap) {
    uint64_t pagesPerBitmap = uint64_t{format.pageSize - 4} * 8;
    std::vector<uint8_t> bitmapPage;
    for (size_t i = 0; 1 + i * 4 + 4 <= map.size(); ++i) {
      uint32_t bitmapNumber = map.U32(1 + i * 4);
      if (bitmapNumber == 0) continue;
      file.ReadPage(bitmapNumber, bitmapPage);
      if (bitmapPage[0] != kUsageBitmapPageType) {
        ThrowDamaged("a usage map names a page that is not a bitmap page");
      }
      Bytes bitmap(bitmapPage.data(), bitmapPage.size(), "usage map");
      AddBitmapPages(bitmap.From(4), i * pagesPerBitmap, file, pages);
    }
  } else {
    ThrowDamaged("a usage map has an unknown kind");
  }
  return pages;
}

}  // namespace bracken::source::jet
