#include "source/jet/row_scanner.h"

#include <cstring>

#include "source/jet/data_page.h"
#include "source/jet/usage_map.h"

namespace bracken::source::jet {

namespace {

constexpr int kMaxOverflowHops = 16;

bool IsOwnedDataPage(const std::vector<uint8_t>& page, uint32_t owner) {
  Bytes bytes(page.data(), page.size(), "data page");
  return bytes.U8(0) == kDataPageType && bytes.U32(4) == owner;
}

void CheckOwnedDataPage(const std::vector<uint8_t>& page, uint32_t owner, uint32_t number) {
  if (!IsOwnedDataPage(page, owner)) {
    ThrowDamaged("page " + std::to_string(number) + " is not a data page of its table");
  }
}

}  // namespace

RowScanner::RowScanner(std::shared_ptr<const PageFile> file, const Format& format,
                       std::shared_ptr<const TableDefinition> table)
    : file_(std::move(file)), format_(format), table_(std::move(table)) {
  pages_ = ReadUsageMap(*file_, format_, table_->usageMap);
}

// A usage map may still mark a page the table has given up and another
// table now owns; like Jet, the scan takes only the table's own data pages.
bool RowScanner::LoadNextPage() {
  while (nextPage_ < pages_.size()) {
    file_->ReadPage(pages_[nextPage_++], page_);
    if (!IsOwnedDataPage(page_, table_->page)) continue;
    rowCount_ = PageRowCount(Bytes(page_.data(), page_.size(), "data page"), format_);
    nextRow_ = 0;
    return true;
  }
  return false;
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
