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

}  // namespace

void EncodeRow(const TableLayout& layout, const std::vector<FixtureValue>& values,
               const LongValueStore& storeLong, std::string& out) {
  const size_t count = layout.columns.size();
  if (values.size() != count) throw std::invalid_argument("row has the wrong number of values");
  std::string mask((count + 7) / 8, '\0');
  out.assign(2 + layout.fixedSize, '\0');
  Place<uint16_t>(out, 0, static_cast<uint16_t>(count));
  std::vector<uint16_t> offsets(layout.varCount + 1, 0);
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
      EncodeFixed(c.column, c.length, value, out.data() + 2 + c.fixedOffset);
    }
  }
  // Variable values follow the fixed area in slot order.
  for (size_t i = 0; i < count; ++i) {
    const ColumnLayout& c = layout.columns[i];
    if (c.fixed) continue;
    offsets[c.varIndex] = static_cast<uint16_t>(out.size());
    if (IsNull(values[i])) continue;
    std::string stored = EncodeVariable(c.column, values[i]);
    out += c.longValue ? storeLong(static_cast<int>(i), stored) : stored;
  }
  if (layout.varCount > 0) {
    offsets[layout.varCount] = static_cast<uint16_t>(out.size());
    for (size_t k = offsets.size(); k-- > 0;) Append<uint16_t>(out, offsets[k]);
    Append<uint16_t>(out, layout.varCount);
  }
  out += mask;
  if (out.size() > kPageSize - 16) throw std::invalid_argument("row does not fit on a page");
}

}  // namespace bracken::testing::jet
