#include "tests/support/jet_writer_layout.h"

#include <algorithm>
#include <stdexcept>

namespace bracken::testing::jet {
namespace {

constexpr uint8_t kFixedFlag = 0x01;
// Access sets 0x02 on every column, required or not.
constexpr uint8_t kUpdatableFlag = 0x02;
constexpr uint8_t kAutoLongFlag = 0x04;
constexpr uint8_t kAutoGuidFlag = 0x40;
constexpr uint8_t kHyperlinkFlag = 0x80;
constexpr uint8_t kCompressedUnicodeFlag = 0x01;

struct KindInfo {
  uint8_t type;
  int fixedSize;  // -1: variable
};

KindInfo Info(const FixtureColumn& c) {
  switch (c.kind) {
    case ColumnKind::Boolean:
      return {0x01, 0};
    case ColumnKind::Byte:
      return {0x02, 1};
    case ColumnKind::Integer:
      return {0x03, 2};
    case ColumnKind::Long:
      return {0x04, 4};
    case ColumnKind::Currency:
      return {0x05, 8};
    case ColumnKind::Single:
      return {0x06, 4};
    case ColumnKind::Double:
      return {0x07, 8};
    case ColumnKind::DateTime:
      return {0x08, 8};
    case ColumnKind::Binary:
      return {0x09, c.fixedSize ? (c.size > 0 ? c.size : 50) : -1};
    case ColumnKind::Text:
      return {0x0a, -1};
    case ColumnKind::Ole:
      return {0x0b, -1};
    case ColumnKind::Memo:
    case ColumnKind::Hyperlink:
      return {0x0c, -1};
    case ColumnKind::Guid:
      return {0x0f, 16};
    case ColumnKind::Decimal:
      return {0x10, 17};
  }
  throw std::invalid_argument("unknown column kind");
}

uint16_t DefinedLength(const FixtureColumn& c, int fixedSize, const WriterFormat& format) {
  switch (c.kind) {
    case ColumnKind::Boolean:
      return 1;
    case ColumnKind::Text:
      return static_cast<uint16_t>((format.jet3 ? 1 : 2) * (c.size > 0 ? c.size : 50));
    case ColumnKind::Binary:
      return static_cast<uint16_t>(c.size > 0 ? c.size : 50);
    case ColumnKind::Ole:
    case ColumnKind::Memo:
    case ColumnKind::Hyperlink:
      return 0;
    default:
      return static_cast<uint16_t>(fixedSize);
  }
}

bool IsText(ColumnKind kind) {
  return kind == ColumnKind::Text || kind == ColumnKind::Memo || kind == ColumnKind::Hyperlink;
}

ColumnLayout LayOutColumn(const FixtureColumn& c, uint16_t number, const WriterFormat& format) {
  if (format.jet3 && c.kind == ColumnKind::Decimal) {
    throw std::invalid_argument("Jet 3 has no Decimal columns: " + c.name);
  }
  KindInfo info = Info(c);
  ColumnLayout out;
  out.column = c;
  out.type = info.type;
  out.number = number;
  out.fixed = info.fixedSize >= 0;
  out.longValue =
      c.kind == ColumnKind::Ole || c.kind == ColumnKind::Memo || c.kind == ColumnKind::Hyperlink;
  out.length = DefinedLength(c, info.fixedSize, format);
  out.flags = (out.fixed ? kFixedFlag : 0) | kUpdatableFlag | c.extraFlags;
  if (c.autoNumber && c.kind == ColumnKind::Long) out.flags |= kAutoLongFlag;
  if (c.autoNumber && c.kind == ColumnKind::Guid) out.flags |= kAutoGuidFlag;
  if (c.kind == ColumnKind::Hyperlink) out.flags |= kHyperlinkFlag;
  if (IsText(c.kind) && c.compressedText && !format.jet3) {
    out.extendedFlags = kCompressedUnicodeFlag;
  }
  return out;
}

IndexLayout LayOutIndex(const FixtureIndex& index, const std::vector<ColumnLayout>& columns) {
  if (index.columns.empty() || index.columns.size() > 10) {
    throw std::invalid_argument("an index takes one to ten columns: " + index.name);
  }
  IndexLayout out{index, {}};
  for (const std::string& name : index.columns) {
    auto it = std::find_if(columns.begin(), columns.end(),
                           [&](const ColumnLayout& c) { return c.column.name == name; });
    if (it == columns.end()) throw std::invalid_argument("index on unknown column: " + name);
    out.columnNumbers.push_back(it->number);
  }
  return out;
}

}  // namespace

TableLayout LayOutTable(const FixtureTable& table, const WriterFormat& format) {
  if (table.columns.empty() || table.columns.size() > 255) {
    throw std::invalid_argument("a table takes one to 255 columns: " + table.name);
  }
  TableLayout out;
  for (const FixtureColumn& c : table.columns) {
    ColumnLayout column = LayOutColumn(c, static_cast<uint16_t>(out.columns.size()), format);
    if (column.fixed) {
      column.fixedOffset = out.fixedSize;
      out.fixedSize += Info(c).fixedSize;
    } else {
      column.varIndex = out.varCount++;
    }
    if (column.longValue) out.longColumns.push_back(static_cast<int>(out.columns.size()));
    out.columns.push_back(column);
  }
  for (const FixtureIndex& index : table.indexes) {
    out.indexes.push_back(LayOutIndex(index, out.columns));
  }
  return out;
}

}  // namespace bracken::testing::jet
