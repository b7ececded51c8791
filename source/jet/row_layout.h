#pragma once

// Where each column's value lies in a row. A row holds its column count,
// the fixed-length values, the variable-length values, then from its end
// backwards the null mask, the count of variable-length values and their
// offsets (Jet 4: two bytes each; Jet 3: one byte each plus a jump table
// that adds 256 for offsets past each 256-byte boundary).

#include <cstdint>
#include <vector>

#include "source/jet/bytes.h"
#include "source/jet/format.h"
#include "source/jet/null_mask.h"
#include "source/jet/table_definition.h"

namespace bracken::source::jet {

struct FieldSlice {
  uint32_t offset = 0;
  uint32_t length = 0;
  bool present = false;  // false for null; for Yes/No the value itself
};

class RowLayout {
 public:
  // Fills one slice per column of the table, in the table's column order.
  void Parse(Bytes row, const TableDefinition& table, const Format& format,
             std::vector<FieldSlice>& out);

 private:
  // Reads the variable-length offsets; returns where the fixed-length values end.
  size_t ReadVarOffsets(Bytes row, const TableDefinition& table, const Format& format,
                        size_t maskStart, uint32_t& varCount);
  void ReadVarOffsetsJet4(Bytes row, size_t trailerEnd, uint32_t count);
  void ReadVarOffsetsJet3(Bytes row, size_t trailerEnd, uint32_t count);

  std::vector<uint32_t> varOffsets_;
};

}  // namespace bracken::source::jet
