#include "tests/support/jet_writer_table_definition.h"

#include <algorithm>

#include "tests/support/jet_writer_bytes.h"

namespace bracken::testing::jet {
namespace {

constexpr uint32_t kDefinitionTag = 0x0659;
constexpr size_t kPageHeader = 8;
constexpr uint16_t kGeneralSortOrder = 0x0409;
constexpr uint16_t kWesternCodePage = 1252;

void AppendName(std::string& out, const std::string& name, const WriterFormat& format) {
  std::string bytes = NameBytes(name, format);
  if (format.jet3) {
    Append<uint8_t>(out, static_cast<uint8_t>(bytes.size()));
  } else {
    Append<uint16_t>(out, static_cast<uint16_t>(bytes.size()));
  }
  out += bytes;
}

void AppendJet4Header(std::string& out, const TableLayout& layout, bool systemTable,
                      const DefinitionState& state) {
  out.assign(63, '\0');
  out[0] = 0x02;
  out[1] = 0x01;
  Place<uint32_t>(out, 12, kDefinitionTag);
  Place<uint32_t>(out, 16, state.rowCount);
  Place<uint32_t>(out, 20, state.nextAutoNumber);
  out[24] = 0x01;
  out[40] = systemTable ? 0x53 : 0x4e;
  auto count = static_cast<uint16_t>(layout.columns.size());
  Place<uint16_t>(out, 41, count);
  Place<uint16_t>(out, 43, layout.varCount);
  Place<uint16_t>(out, 45, count);
  Place<uint32_t>(out, 47, static_cast<uint32_t>(layout.indexes.size()));
  Place<uint32_t>(out, 51, static_cast<uint32_t>(layout.indexes.size()));
  Place<uint32_t>(out, 55, state.usedPagesMap);
  Place<uint32_t>(out, 59, state.freePagesMap);
  for (size_t i = 0; i < layout.indexes.size(); ++i) {
    Append<uint32_t>(out, 0);
    Append<uint32_t>(out, state.rowCount);
    Append<uint32_t>(out, 0);
  }
}

void AppendJet3Header(std::string& out, const TableLayout& layout, bool systemTable,
                      const DefinitionState& state) {
  out.assign(43, '\0');
  out[0] = 0x02;
  out[1] = 0x01;
  out[2] = 'V';
  out[3] = 'C';
  Place<uint32_t>(out, 12, state.rowCount);
  Place<uint32_t>(out, 16, state.nextAutoNumber);
  out[20] = systemTable ? 0x53 : 0x4e;
  auto count = static_cast<uint16_t>(layout.columns.size());
  Place<uint16_t>(out, 21, count);
  Place<uint16_t>(out, 23, layout.varCount);
  Place<uint16_t>(out, 25, count);
  Place<uint32_t>(out, 27, static_cast<uint32_t>(layout.indexes.size()));
  Place<uint32_t>(out, 31, static_cast<uint32_t>(layout.indexes.size()));
  Place<uint32_t>(out, 35, state.usedPagesMap);
  Place<uint32_t>(out, 39, state.freePagesMap);
  for (size_t i = 0; i < layout.indexes.size(); ++i) {
    Append<uint32_t>(out, 0);
    Append<uint32_t>(out, state.rowCount);
  }
}

void AppendJet4Column(std::string& out, const ColumnLayout& c) {
  std::string entry(25, '\0');
  entry[0] = static_cast<char>(c.type);
  Place<uint32_t>(entry, 1, kDefinitionTag);
  Place<uint16_t>(entry, 5, c.number);
  Place<uint16_t>(entry, 7, c.varIndex);
  if (c.column.kind == ColumnKind::Decimal) {
    entry[11] = static_cast<char>(c.column.precision);
    entry[12] = static_cast<char>(c.column.scale);
  } else if (c.type == 0x0a || c.type == 0x0c) {
    Place<uint16_t>(entry, 11, kGeneralSortOrder);
  }
  entry[15] = static_cast<char>(c.flags);
  entry[16] = static_cast<char>(c.extendedFlags);
  Place<uint16_t>(entry, 21, c.fixedOffset);
  Place<uint16_t>(entry, 23, c.length);
  out += entry;
}

// Access 97 gives every column the sort order and the code page.
void AppendJet3Column(std::string& out, const ColumnLayout& c) {
  std::string entry(18, '\0');
  entry[0] = static_cast<char>(c.type);
  Place<uint16_t>(entry, 1, c.number);
  Place<uint16_t>(entry, 3, c.varIndex);
  Place<uint16_t>(entry, 7, 1);
  Place<uint16_t>(entry, 9, kGeneralSortOrder);
  Place<uint16_t>(entry, 11, kWesternCodePage);
  entry[13] = static_cast<char>(c.flags);
  Place<uint16_t>(entry, 14, c.fixedOffset);
  Place<uint16_t>(entry, 16, c.length);
  out += entry;
}

uint8_t IndexFlags(const FixtureIndex& index) {
  uint8_t flags = 0x80;
  if (index.unique || index.primary) flags |= 0x01;
  if (index.ignoreNulls) flags |= 0x02;
  if (index.primary) flags |= 0x08;
  return flags;
}

// Jet 4 puts a tag before the key columns and four unknown bytes before the
// flags, and five after them; Jet 3 has none of these.
void AppendRealIndex(std::string& out, const IndexLayout& index, uint32_t map, uint32_t root,
                     const WriterFormat& format) {
  if (!format.jet3) Append<uint32_t>(out, kDefinitionTag);
  for (size_t slot = 0; slot < 10; ++slot) {
    bool used = slot < index.columnNumbers.size();
    Append<uint16_t>(out, used ? index.columnNumbers[slot] : 0xffff);
    Append<uint8_t>(out, used ? 0x01 : 0x00);
  }
  Append<uint32_t>(out, map);
  Append<uint32_t>(out, root);
  if (!format.jet3) Append<uint32_t>(out, 0);
  Append<uint8_t>(out, IndexFlags(index.index));
  if (!format.jet3) out.append(5, '\0');
}

void AppendLogicalIndex(std::string& out, const IndexLayout& index, uint32_t number,
                        const WriterFormat& format) {
  if (!format.jet3) Append<uint32_t>(out, kDefinitionTag);
  Append<uint32_t>(out, number);
  Append<uint32_t>(out, number);
  Append<uint8_t>(out, 0);
  Append<int32_t>(out, -1);
  Append<uint32_t>(out, 0);
  Append<uint16_t>(out, 0);
  Append<uint8_t>(out, index.index.primary ? 0x01 : 0x00);
  if (!format.jet3) Append<uint32_t>(out, 0);
}

}  // namespace

std::string BuildTableDefinition(const TableLayout& layout, bool systemTable,
                                 const DefinitionState& state, const WriterFormat& format) {
  std::string out;
  if (format.jet3) {
    AppendJet3Header(out, layout, systemTable, state);
    for (const ColumnLayout& c : layout.columns) AppendJet3Column(out, c);
  } else {
    AppendJet4Header(out, layout, systemTable, state);
    for (const ColumnLayout& c : layout.columns) AppendJet4Column(out, c);
  }
  for (const ColumnLayout& c : layout.columns) AppendName(out, c.column.name, format);
  for (size_t i = 0; i < layout.indexes.size(); ++i) {
    AppendRealIndex(out, layout.indexes[i], state.indexMaps.empty() ? 0 : state.indexMaps[i],
                    state.indexRoots.empty() ? 0 : state.indexRoots[i], format);
  }
  for (size_t i = 0; i < layout.indexes.size(); ++i) {
    AppendLogicalIndex(out, layout.indexes[i], static_cast<uint32_t>(i), format);
  }
  for (const IndexLayout& index : layout.indexes) AppendName(out, index.index.name, format);
  for (size_t k = 0; k < layout.longColumns.size(); ++k) {
    Append<uint16_t>(out, layout.columns[layout.longColumns[k]].number);
    Append<uint32_t>(out, state.longUsedMaps.empty() ? 0 : state.longUsedMaps[k]);
    Append<uint32_t>(out, state.longFreeMaps.empty() ? 0 : state.longFreeMaps[k]);
  }
  Append<uint16_t>(out, 0xffff);
  Place<uint32_t>(out, 8, static_cast<uint32_t>(out.size()));
  return out;
}

uint32_t DefinitionPageCount(size_t length, const WriterFormat& format) {
  if (length <= format.pageSize) return 1;
  size_t rest = length - format.pageSize;
  size_t perPage = format.pageSize - kPageHeader;
  return static_cast<uint32_t>(1 + (rest + perPage - 1) / perPage);
}

std::vector<std::string> PageDefinition(const std::string& definition,
                                        const std::vector<uint32_t>& pages,
                                        const WriterFormat& format) {
  const size_t pageSize = format.pageSize;
  std::vector<std::string> out;
  size_t offset = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    std::string page(pageSize, '\0');
    size_t start = i == 0 ? 0 : kPageHeader;
    size_t take = std::min(definition.size() - offset, pageSize - start);
    page.replace(start, take, definition, offset, take);
    offset += take;
    page[0] = 0x02;
    page[1] = 0x01;
    if (format.jet3) {
      page[2] = 'V';
      page[3] = 'C';
    } else {
      size_t used = start + take + kPageHeader;
      Place<uint16_t>(page, 2, static_cast<uint16_t>(used < pageSize ? pageSize - used : 0));
    }
    Place<uint32_t>(page, 4, i + 1 < pages.size() ? pages[i + 1] : 0);
    out.push_back(std::move(page));
  }
  return out;
}

}  // namespace bracken::testing::jet
