#include "source/jet/row_scanner.h"

#include <cstring>

#include "source/jet/data_page.h"
#include "source/jet/usage_map.h"

namespace bracken::source::jet {

namespace {

constexpr int kMaxOverflowHops = 16;
// A file damaged throughout would otherwise name every page; past this many
// notes the rest are counted in one.
constexpr size_t kMaxNotes = 50;

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
  try {
    pages_ = ReadUsageMap(*file_, format_, table_->usageMap);
  } catch (const SourceError& error) {
    Note("the map of its data pages cannot be read (" + DamageReason(error) +
         "); its rows were looked for on every page of the file");
    pages_ = OwnedPages();
  }
}

// Every data page that names the table as its owner, for a table whose
// usage map is lost.
std::vector<uint32_t> RowScanner::OwnedPages() const {
  std::vector<uint32_t> pages;
  std::vector<uint8_t> page;
  for (uint32_t number = 1; number < file_->PageCount(); ++number) {
    file_->ReadPage(number, page);
    if (IsOwnedDataPage(page, table_->page)) pages.push_back(number);
  }
  return pages;
}

void RowScanner::Note(std::string note) {
  if (damage_.size() < kMaxNotes) {
    damage_.push_back(std::move(note));
    return;
  }
  ++notesLeftOut_;
  std::string more = "and " + std::to_string(notesLeftOut_) + " more damaged " +
                     (notesLeftOut_ == 1 ? "part" : "parts") + " whose rows are left out";
  if (damage_.size() == kMaxNotes) {
    damage_.push_back(std::move(more));
  } else {
    damage_.back() = std::move(more);
  }
}

void RowScanner::NotePageRows() {
  if (badRows_ == 0) return;
  std::string page = "on page " + std::to_string(pageNumber_) + ", ";
  if (badRows_ == 1) {
    Note(page + "row " + std::to_string(firstBadRow_) + " cannot be read (" + badRowReason_ +
         "); it is left out");
  } else {
    Note(page + std::to_string(badRows_) + " rows cannot be read (" + badRowReason_ + " at row " +
         std::to_string(firstBadRow_) + "); they are left out");
  }
  badRows_ = 0;
}

// A usage map may still mark a page the table has given up and another
// table now owns; like Jet, the scan takes only the table's own data pages.
bool RowScanner::LoadNextPage() {
  NotePageRows();
  while (nextPage_ < pages_.size()) {
    uint32_t number = pages_[nextPage_++];
    try {
      file_->ReadPage(number, page_);
      if (!IsOwnedDataPage(page_, table_->page)) continue;
      rowCount_ = PageRowCount(Bytes(page_.data(), page_.size(), "data page"), format_);
    } catch (const SourceError& error) {
      rowCount_ = 0;
      Note("page " + std::to_string(number) + " cannot be read (" + DamageReason(error) +
           "); its rows are left out");
      continue;
    }
    pageNumber_ = number;
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
    uint32_t row = nextRow_++;
    try {
      RowSlot slot = PageRow(Bytes(page_.data(), page_.size(), "data page"), format_, row);
      if ((slot.flags & kRowDeleted) != 0) continue;
      row_ = (slot.flags & kRowOverflow) != 0 ? FollowOverflow(slot.bytes) : slot.bytes;
      if (row_.empty()) ThrowDamaged("a row is empty");
      return true;
    } catch (const SourceError& error) {
      NoteBadRow(row, error);
    }
  }
}

void RowScanner::NoteBadRow(uint32_t row, const SourceError& error) {
  if (badRows_++ == 0) {
    firstBadRow_ = row;
    badRowReason_ = DamageReason(error);
  }
}

void RowScanner::LeaveOut(const SourceError& error) { NoteBadRow(nextRow_ - 1, error); }

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
