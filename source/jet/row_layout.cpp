#include "source/jet/row_layout.h"

#include <algorithm>

namespace bracken::source::jet {

void RowLayout::ReadVarOffsetsJet4(Bytes row, size_t trailerEnd, uint32_t count) {
  // trailerEnd is where the variable-length count starts; offsets lie before it.
  if (trailerEnd < 2 * (size_t{count} + 1) || trailerEnd > row.size()) {
    ThrowDamaged("a row's offset table does not fit in it");
  }
  varOffsets_.resize(size_t{count} + 1);
  const uint8_t* entry = row.data() + trailerEnd;
  for (uint32_t i = 0; i <= count; ++i) {
    entry -= 2;
    varOffsets_[i] = entry[0] | (entry[1] << 8);
  }
}

void RowLayout::ReadVarOffsetsJet3(Bytes row, size_t trailerEnd, uint32_t count) {
  // trailerEnd is where the one-byte variable-length count lies. Before it
  // come the jump table entries, then the one-byte offsets.
  size_t jumps = (row.size() - 1) / 256;
  if (trailerEnd < jumps + 1 + count) ThrowDamaged("a row's offset table does not fit in it");
  size_t offsetsEnd = trailerEnd - jumps;  // the offset of entry 0 is at offsetsEnd - 1
  // The last jump entry may be a filler that points past the offsets.
  if ((offsetsEnd - 1 - count) / 256 < jumps) --jumps;
  size_t jumpsUsed = 0;
  for (uint32_t i = 0; i <= count; ++i) {
    while (jumpsUsed < jumps && i == row.U8(trailerEnd - 1 - jumpsUsed)) ++jumpsUsed;
    varOffsets_.push_back(row.U8(offsetsEnd - 1 - i) + 256 * static_cast<uint32_t>(jumpsUsed));
  }
}

size_t RowLayout::ReadVarOffsets(Bytes row, const TableDefinition& table, const Format& format,
                                 size_t maskStart, uint32_t& varCount) {
  varOffsets_.clear();
  varCount = 0;
  if (table.varColumnCount == 0) return maskStart;
  size_t countSize = format.jet3 ? 1 : 2;
  if (maskStart < format.rowColumnCountSize + countSize) ThrowDamaged("a row is too short");
  size_t countAt = maskStart - countSize;
  varCount = format.jet3 ? row.U8(countAt) : row.U16(countAt);
  if (format.jet3) {
    ReadVarOffsetsJet3(row, countAt, varCount);
  } else {
    ReadVarOffsetsJet4(row, countAt, varCount);
  }
  // The fixed-length values end where the first variable-length one starts.
  return std::min<size_t>(varOffsets_[0], countAt);
}

void RowLayout::Parse(Bytes row, const TableDefinition& table, const Format& format,
                      std::vector<FieldSlice>& out) {
  uint32_t columnCount = format.jet3 ? row.U8(0) : row.U16(0);
  uint32_t maskSize = NullMask::SizeFor(columnCount);
  if (row.size() < format.rowColumnCountSize + maskSize) {
    ThrowDamaged("a row is shorter than its null mask");
  }
  size_t maskStart = row.size() - maskSize;
  NullMask mask(row.Sub(maskStart, maskSize), columnCount);
  uint32_t varCount = 0;
  size_t fixedEnd = ReadVarOffsets(row, table, format, maskStart, varCount);
  size_t count = table.columns.size();
  if (out.size() != count) out.resize(count);
  FieldSlice* slice = out.data();
  for (const ColumnDefinition& column : table.columns) {
    *slice = FieldSlice{};
    slice->present = mask.IsSet(column.number);
    if (slice->present && column.kind != ColumnKind::Boolean) {
      if (column.FixedLength()) {
        size_t start = format.rowColumnCountSize + size_t{column.fixedOffset};
        if (start + column.length > fixedEnd) {
          ThrowDamaged("a fixed-length value lies outside its row");
        }
        slice->offset = static_cast<uint32_t>(start);
        slice->length = column.length;
      } else if (column.varIndex < varCount) {
        uint32_t start = varOffsets_[column.varIndex];
        uint32_t end = varOffsets_[column.varIndex + 1];
        if (start > end || end > maskStart) {
          ThrowDamaged("a variable-length value lies outside its row");
        }
        slice->offset = start;
        slice->length = end - start;
      } else {
        slice->present = false;  // written before the column was added
      }
    }
    ++slice;
  }
}

}  // namespace bracken::source::jet
