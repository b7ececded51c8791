#include "source/jet/row_scanner.h"

#include <cstring>

#include "source/jet/data_page.h"
#include "source/jet/usage_map.h"

namespace bracken::source::jet {

namespace {

constexpr int kMaxOverflowHops = 16;

void CheckOwnedDataPage(const std::vector<uint8_t>& page, uint32_t owner, uint32_t number) {
  Bytes bytes(page.data(), page.size(), "data page");
  if (bytes.U8(0) != kDataPageType || bytes.U32(4) != owner) {
    ThrowDamaged("page " + std::to_string(number) + " is not a data page of its table");
  }
}

}  // namespace

RowScanner::RowScanner(std::shared_ptr<const PageFile> file, const Format& format,
                       std::shared_ptr<const TableDefinition> table)
    : file_(std::move(file)), format_(format), table_(std::move(table)) {
  pages_ = ReadUsageMap(*file_, format_, table_->usageMap);
}

bool RowScanner::LoadNextPage() {
  if (nextPage_ >= pages_.size()) return false;
  uint32_t number = pages_[nextPage_++];
  file_->ReadPage(number, page_);
  CheckOwnedDataPage(page_, table_->page, number);
  rowCount_ = PageRowCount(Bytes(page_.data(), page_.size(), "data page"), format_);
  nextRow_ = 0;
  return true;
}

bool RowScanner::Next() {
  for (;;) {
    while (nextRow_ >= rowCount_) {
      if (!LoadNextPage()) {
        row_ = Bytes();
        return false;
      }
    }
    RowSlot slot = PageRow(Bytes(page_.data(), page_.size(), "data page"), format_, nextRow_++);
    if ((slot.flags & kRowDeleted) != 0) continue;
    row_ = (slot.flags & kRowOverflow) != 0 ? FollowOverflow(slot.bytes) : slot.bytes;
    if (row_.empty()) ThrowDamaged("a row is empty");
    return true;
  }
}

Bytes RowScanner::FollowOverflow(Bytes pointer) {
  for (int hop = 0; hop < kMaxOverflowHops; ++hop) {
    uint32_t target = pointer.U32(0);
    uint32_t number = PointerPage(target);
    file_->ReadPage(number, overflowPage_);
    CheckOwnedDataPage(overflowPage_, table_->page, number);
    RowSlot slot = PageRow(Bytes(overflowPage_.data(), overflowPage_.size(), "data page"), format_,
                           PointerRow(target));
    if (slot.flags == (kRowDeleted | kRowOverflow) || slot.bytes.empty()) {
      ThrowDamaged("an overflow row points to a missing row");
    }
    if ((slot.flags & kRowOverflow) == 0) return slot.bytes;
    // The row moved again: its pointer lives in the overflow page, which is
    // about to be read anew, so keep a copy.
    std::memcpy(pointerCopy_, slot.bytes.Sub(0, 4).data(), 4);
    pointer = Bytes(pointerCopy_, 4);
  }
  ThrowDamaged("overflow rows form a chain that does not end");
}

}  // namespace bracken::source::jet
