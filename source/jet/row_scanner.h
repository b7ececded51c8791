#pragma once

// Streams a table's rows: the data pages its usage map marks, in page order,
// and on each page its rows in order, skipping deleted rows and following
// overflow rows to the place their data was moved to. Only the current page
// is held in memory.

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
  // The pages and rows left out so far because they cannot be read.
  const std::vector<std::string>& Damage() const { return damage_; }

 private:
  bool LoadNextPage();
  Bytes FollowOverflow(Bytes pointer);

  std::shared_ptr<const PageFile> file_;
  Format format_;
  std::shared_ptr<const TableDefinition> table_;
  std::vector<uint32_t> pages_;
  size_t nextPage_ = 0;
  uint32_t nextRow_ = 0;
  uint16_t rowCount_ = 0;
  std::vector<uint8_t> page_;
  std::vector<uint8_t> overflowPage_;
  Bytes row_;
  uint8_t pointerCopy_[4] = {};
  std::vector<std::string> damage_;
};

}  // namespace bracken::source::jet
