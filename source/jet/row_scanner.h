#pragma once

// Streams a table's rows: the data pages its usage map marks, in page order,
// and on each page its rows in order, skipping deleted rows and following
// overflow rows to the place their data was moved to. Only the current page
// is held in memory.
//
// Damage costs only what it touches: a page that cannot be read is left out
// with its rows, a row that cannot be read is left out alone, and a usage
// map that cannot be read is replaced by a search of the whole file for the
// data pages the table owns. Each is noted in Damage(), so that nothing is
// lost quietly; the stored row count tells the caller how many rows that
// cost.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source/jet/bytes.h"
#include "source/jet/format.h"
#include "source/jet/page_file.h"
#include "source/jet/table_definition.h"

namespace bracken::source::jet {

class RowScanner {
 public:
  RowScanner(std::shared_ptr<const PageFile> file, const Format& format,
             std::shared_ptr<const TableDefinition> table);
  // Moves to the next row; false past the last one.
  bool Next();
  // The current row's bytes; valid until the next call of Next().
  Bytes Row() const { return row_; }
  // Leaves the current row out for the reason given (its fields cannot be
  // told apart); it is noted like a row the scan itself could not read.
  void LeaveOut(const SourceError& error);
  // What the scan has left out so far, one note each, worded to follow the
  // table's name ("page 57 cannot be read (...); its rows are left out").
  // Rows of the current page count once the scan has moved past it.
  const std::vector<std::string>& Damage() const { return damage_; }

 private:
  bool LoadNextPage();
  Bytes FollowOverflow(Bytes pointer);
  std::vector<uint32_t> OwnedPages() const;
  void Note(std::string note);
  void NotePageRows();
  void NoteBadRow(uint32_t row, const SourceError& error);

  std::shared_ptr<const PageFile> file_;
  Format format_;
  std::shared_ptr<const TableDefinition> table_;
  std::vector<uint32_t> pages_;
  size_t nextPage_ = 0;
  uint32_t pageNumber_ = 0;  // of page_
  uint32_t nextRow_ = 0;
  uint16_t rowCount_ = 0;
  std::vector<uint8_t> page_;
  std::vector<uint8_t> overflowPage_;
  Bytes row_;
  uint8_t pointerCopy_[4] = {};
  // Rows of the current page that could not be read: how many, the first of
  // them and why.
  uint32_t badRows_ = 0;
  uint32_t firstBadRow_ = 0;
  std::string badRowReason_;
  std::vector<std::string> damage_;
  size_t notesLeftOut_ = 0;
};

}  // namespace bracken::source::jet
