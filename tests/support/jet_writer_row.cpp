#include "tests/support/jet_writer_row.h"

#include <stdexcept>

#include "tests/support/jet_writer_bytes.h"
#include "tests/support/jet_writer_values.h"

namespace bracken::testing::jet {
namespace {

bool BooleanValue(const FixtureValue& value) {
  if (const auto* b = std::get_if<bool>(&value)) return *b;
  if (const auto* i = std::get_if<int64_t>(&value)) return *i != 0;
  return false;
}

void SetBit(std::string& mask, size_t bit) { mask[bit / 8] |= static_cast<char>(1 << (bit % 8)); }

void AppendJet4Offsets(std::string& out, const std::vector<uint32_t>& offsets) {
  for (size_t k = offsets.size(); k-- > 0;)
    Append<uint16_t>(out, static_cast<uint16_t>(offsets[k]));
  Append<uint16_t>(out, static_cast<uint16_t>(offsets.size() - 1));
}

// Jet 3 keeps the low byte of each offset, last first, then one jump entry
// per 256-byte boundary the row crosses (also last first): the number of the
// first offset at or past that boundary. A row whose trailer alone crosses a
// boundary carries one more entry that readers pass over.
void AppendJet3Offsets(std::string& out, const std::vector<uint32_t>& offsets, size_t maskSize) {
  const size_t base = out.size() + offsets.size() + 1 + maskSize;
  size_t jumps = 0;
  while ((base + jumps - 1) / 256 != jumps) jumps = (base + jumps - 1) / 256;
  for (size_t k = offsets.size(); k-- > 0;) out.push_back(static_cast<char>(offsets[k] & 0xff));
  for (size_t j = jumps; j-- > 0;) {
    size_t first = 0;
    while (first < offsets.size() && offsets[first] < 256 * (j + 1)) ++first;
    out.push_back(static_cast<char>(first));
  }
  out.push_back(static_cast<char>(offsets.size() - 1));
}

}  // namespace

void EncodeRow(const TableLayout& layout, const std::vector<FixtureValue>& values,
               const LongValueStore& storeLong, const WriterFormat& format, std::string& out) {
  const size_t count = layout.columns.size();
  if (values.size() != count) throw std::invalid_argument("row has the wrong number of values");
  const size_t countSize = format.jet3 ? 1 : 2;
  std::string mask((count + 7) / 8, '\0');
  out.assign(countSize + layout.fixedSize, '\0');
  if (format.jet3) {
    out[0] = static_cast<char>(count);
  } else {
    Place<uint16_t>(out, 0, static_cast<uint16_t>(count));
  }
  std::vector<uint32_t> offsets(layout.varCount + 1, 0);
  for (size_t i = 0; i < count; ++i) {
    const ColumnLayout& c = layout.columns[i];
    const FixtureValue& value = values[i];
    if (c.column.kind == ColumnKind::Boolean) {
      if (BooleanValue(value)) SetBit(mask, c.number);
      continue;
    }
    if (IsNull(value)) continue;
    SetBit(mask, c.number);
    if (c.fixed) {
      EncodeFixed(c.column, c.length, value, out.data() + countSize + c.fixedOffset);
    }
  }
  // Variable values follow the fixed area in slot order.
  for (size_t i = 0; i < count; ++i) {
    const ColumnLayout& c = layout.columns[i];
    if (c.fixed) continue;
    offsets[c.varIndex] = static_cast<uint32_t>(out.size());
    if (IsNull(values[i])) continue;
    std::string stored = EncodeVariable(c.column, values[i], format);
    out += c.longValue ? storeLong(static_cast<int>(i), stored) : stored;
  }
  if (layout.varCount > 0) {
    offsets[layout.varCount] = static_cast<uint32_t>(out.size());
    if (format.jet3) {
      AppendJet3Offsets(out, offsets, mask.size());
    } else {
      AppendJet4Offsets(out, offsets);
    }
  }
  out += mask;
  if (out.size() > format.MaxRowSize()) throw std::invalid_argument("row does not fit on a page");
}

}  // namespace bracken::testing::jet
