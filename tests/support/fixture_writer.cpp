#include "tests/support/fixture_writer.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "tests/support/jet_writer_catalogue.h"
#include "tests/support/jet_writer_header.h"
#include "tests/support/jet_writer_layout.h"
#include "tests/support/jet_writer_pages.h"
#include "tests/support/jet_writer_row.h"
#include "tests/support/jet_writer_table_definition.h"
#include "tests/support/jet_writer_usage_map.h"

namespace bracken::testing {
namespace {

using namespace jet;

constexpr size_t kLongValueHeader = 12;
constexpr uint8_t kInlineLongValue = 0x80;
constexpr uint8_t kSinglePageLongValue = 0x40;
constexpr uint8_t kChainedLongValue = 0x00;

struct LongColumnPages {
  std::optional<DataPage> current;
  std::vector<uint32_t> pages;
};

struct TableState {
  const FixtureTable* table = nullptr;
  bool system = false;
  TableLayout layout;
  std::vector<uint32_t> definitionPages;
  uint32_t usedMapSlot = 0;
  uint32_t freeMapSlot = 0;
  std::vector<uint32_t> indexMapSlots;
  std::vector<uint32_t> longUsedSlots;
  std::vector<uint32_t> longFreeSlots;
  std::vector<uint32_t> indexRoots;
  std::optional<DataPage> dataPage;
  std::vector<uint32_t> dataPages;
  std::vector<LongColumnPages> longPages;
  uint32_t rowCount = 0;
  int64_t nextAutoNumber = 1;
};

std::string LongValueField(size_t length, uint8_t form, uint32_t pointer) {
  if (length > 0xffffff) throw std::length_error("long value over 16 MB");
  std::string field(kLongValueHeader, '\0');
  Place<uint32_t>(field, 0, static_cast<uint32_t>(length) | static_cast<uint32_t>(form) << 24);
  Place<uint32_t>(field, 4, pointer);
  return field;
}

std::string EmptyLeafPage(uint32_t definitionPage, const WriterFormat& format) {
  std::string page(format.pageSize, '\0');
  page[0] = 0x04;
  page[1] = 0x01;
  Place<uint16_t>(page, 2, static_cast<uint16_t>(format.pageSize - format.leafHeaderSize));
  Place<uint32_t>(page, 4, definitionPage);
  return page;
}

class JetWriter {
 public:
  JetWriter(const FixtureDatabase& database, PageSink& sink, const WriterFormat& format)
      : database_(database),
        sink_(sink),
        format_(format),
        chainPiece_(format.MaxRowSize() - 4),
        mapRowsPerPage_((format.pageSize - format.dataHeaderSize) / (kUsageMapRowSize + 2)) {}

  void Write() {
    Plan();
    // MSysObjects' rows come last, when every table's pages are known.
    for (TableState& t : tables_) {
      if (&t != &tables_.front()) WriteRows(t);
    }
    WriteCatalogue();
    for (TableState& t : tables_) FlushTable(t);
    WriteUsageMaps();
    for (TableState& t : tables_) WriteDefinition(t);
    sink_.Put(
        0, BuildHeaderPage(database_.password, database_.creationDate, format_, database_.pageKey));
  }

 private:
  uint32_t Allocate() { return nextPage_++; }

  uint32_t ReserveMapSlot() { return mapSlotCount_++; }

  // Page numbers of every definition, index page and usage map row, before
  // any row is written.
  void Plan() {
    systemTables_ = SystemTables();
    for (FixtureTable& t : systemTables_) {
      if (t.name == "MSysRelationships") t.rows = RelationshipRows(database_.relationships);
      if (t.name == "MSysQueries") t.rows = QueryRows(database_.queries);
    }
    for (const FixtureTable& t : systemTables_) AddTable(t, true);
    for (const FixtureTable& t : database_.tables) AddTable(t, false);
    nextPage_ = 1;
    mapPages_.push_back(Allocate());  // page 1; MSysObjects' definition starts on page 2
    for (TableState& t : tables_) {
      std::string sized = BuildTableDefinition(t.layout, t.system, DefinitionState{}, format_);
      for (uint32_t i = DefinitionPageCount(sized.size(), format_); i > 0; --i) {
        t.definitionPages.push_back(Allocate());
      }
    }
    for (TableState& t : tables_) ReserveSlots(t);
    while (mapPages_.size() * mapRowsPerPage_ < mapSlotCount_) mapPages_.push_back(Allocate());
    for (TableState& t : tables_) {
      for (size_t i = 0; i < t.layout.indexes.size(); ++i) {
        t.indexRoots.push_back(Allocate());
        sink_.Put(t.indexRoots.back(), EmptyLeafPage(t.definitionPages.front(), format_));
      }
    }
  }

  void AddTable(const FixtureTable& table, bool system) {
    TableState t;
    t.table = &table;
    t.system = system;
    t.layout = LayOutTable(table, format_);
    t.longPages.resize(t.layout.longColumns.size());
    tables_.push_back(std::move(t));
  }

  void ReserveSlots(TableState& t) {
    t.usedMapSlot = ReserveMapSlot();
    t.freeMapSlot = ReserveMapSlot();
    for (size_t i = 0; i < t.layout.indexes.size(); ++i)
      t.indexMapSlots.push_back(ReserveMapSlot());
    for (size_t i = 0; i < t.layout.longColumns.size(); ++i) {
      t.longUsedSlots.push_back(ReserveMapSlot());
      t.longFreeSlots.push_back(ReserveMapSlot());
    }
  }

  uint32_t SlotPointer(uint32_t slot) const {
    return RowPointer(mapPages_[slot / mapRowsPerPage_], slot % mapRowsPerPage_);
  }

  void WriteRows(TableState& t) {
    const FixtureTable& table = *t.table;
    std::vector<FixtureValue> row;
    for (const auto& given : table.rows) {
      row = given;
      AddRow(t, row);
    }
    for (int64_t i = 0; i < table.generatedRows; ++i) {
      row.assign(table.columns.size(), FixtureValue{});
      table.generator(i, row);
      AddRow(t, row);
    }
  }

  void FillAutoNumbers(TableState& t, std::vector<FixtureValue>& row) {
    for (size_t i = 0; i < t.layout.columns.size(); ++i) {
      const FixtureColumn& c = t.layout.columns[i].column;
      if (!c.autoNumber) continue;
      if (c.kind == ColumnKind::Long) {
        if (IsNull(row[i])) row[i] = t.nextAutoNumber;
        t.nextAutoNumber = std::max(t.nextAutoNumber, std::get<int64_t>(row[i]) + 1);
      } else if (c.kind == ColumnKind::Guid && IsNull(row[i])) {
        std::string guid(16, '\x42');
        Place<uint32_t>(guid, 0, t.rowCount + 1);
        Place<uint32_t>(guid, 12, t.definitionPages.front());
        row[i] = guid;
      }
    }
  }

  void AddRow(TableState& t, std::vector<FixtureValue>& row) {
    if (row.size() != t.layout.columns.size()) {
      throw std::invalid_argument("row of table " + t.table->name + " has the wrong size");
    }
    FillAutoNumbers(t, row);
    EncodeRow(
        t.layout, row,
        [&](int position, const std::string& bytes) { return StoreLongValue(t, position, bytes); },
        format_, rowBytes_);
    if (!t.dataPage || !t.dataPage->Fits(rowBytes_.size())) {
      if (t.dataPage) sink_.Put(t.dataPage->Number(), t.dataPage->Finish());
      t.dataPage.emplace(Allocate(), t.definitionPages.front(), format_);
      t.dataPages.push_back(t.dataPage->Number());
    }
    t.dataPage->Add(rowBytes_);
    ++t.rowCount;
  }

  LongColumnPages& LongPagesOf(TableState& t, int position) {
    auto it = std::find(t.layout.longColumns.begin(), t.layout.longColumns.end(), position);
    return t.longPages[it - t.layout.longColumns.begin()];
  }

  DataPage& LongValuePageWithRoom(LongColumnPages& pages, size_t size) {
    if (!pages.current || !pages.current->Fits(size)) {
      if (pages.current) sink_.Put(pages.current->Number(), pages.current->Finish());
      pages.current.emplace(Allocate(), kLongValueOwner, format_);
      pages.pages.push_back(pages.current->Number());
    }
    return *pages.current;
  }

  std::string StoreLongValue(TableState& t, int position, const std::string& bytes) {
    if (bytes.size() <= t.table->inlineLongValueLimit) {
      return LongValueField(bytes.size(), kInlineLongValue, 0) + bytes;
    }
    LongColumnPages& pages = LongPagesOf(t, position);
    if (bytes.size() <= chainPiece_ + 4) {
      DataPage& page = LongValuePageWithRoom(pages, bytes.size());
      int row = page.Add(bytes);
      return LongValueField(bytes.size(), kSinglePageLongValue, RowPointer(page.Number(), row));
    }
    return LongValueField(bytes.size(), kChainedLongValue, StoreChain(pages, bytes));
  }

  // Each piece starts a page of its own, so the next piece's page is known
  // before this one is written: the pages follow each other.
  uint32_t StoreChain(LongColumnPages& pages, const std::string& bytes) {
    if (pages.current) sink_.Put(pages.current->Number(), pages.current->Finish());
    pages.current.reset();
    size_t count = (bytes.size() + chainPiece_ - 1) / chainPiece_;
    uint32_t first = nextPage_;
    nextPage_ += static_cast<uint32_t>(count);
    for (size_t k = 0; k < count; ++k) {
      auto number = static_cast<uint32_t>(first + k);
      std::string piece;
      Append<uint32_t>(piece, k + 1 < count ? RowPointer(number + 1, 0) : 0);
      piece.append(bytes, k * chainPiece_, chainPiece_);
      DataPage page(number, kLongValueOwner, format_);
      page.Add(piece);
      pages.pages.push_back(number);
      if (k + 1 < count) {
        sink_.Put(number, page.Finish());
      } else {
        pages.current.emplace(std::move(page));
      }
    }
    return RowPointer(first, 0);
  }

  void WriteCatalogue() {
    std::vector<CatalogueEntry> entries;
    for (const TableState& t : tables_) {
      entries.push_back({t.table->name, t.definitionPages.front(), t.system,
                         t.system ? std::string() : TableProperties(*t.table, format_)});
    }
    TableState& objects = tables_.front();
    std::vector<std::vector<FixtureValue>> rows =
        CatalogueRows(entries, database_.queries, database_.creationDate, format_);
    for (auto& row : rows) AddRow(objects, row);
  }

  void FlushTable(TableState& t) {
    if (t.dataPage) sink_.Put(t.dataPage->Number(), t.dataPage->Finish());
    for (LongColumnPages& pages : t.longPages) {
      if (pages.current) sink_.Put(pages.current->Number(), pages.current->Finish());
    }
  }

  void WriteUsageMaps() {
    std::vector<std::string> rows(mapSlotCount_);
    auto map = [this](const std::vector<uint32_t>& pages) {
      return BuildUsageMap(
          pages, [this] { return Allocate(); }, sink_, format_.pageSize);
    };
    for (TableState& t : tables_) {
      rows[t.usedMapSlot] = map(t.dataPages);
      rows[t.freeMapSlot] = map({});
      for (size_t i = 0; i < t.indexRoots.size(); ++i) {
        rows[t.indexMapSlots[i]] = map({t.indexRoots[i]});
      }
      for (size_t k = 0; k < t.longPages.size(); ++k) {
        rows[t.longUsedSlots[k]] = map(t.longPages[k].pages);
        rows[t.longFreeSlots[k]] = map({});
      }
    }
    for (size_t p = 0; p < mapPages_.size(); ++p) {
      DataPage page(mapPages_[p], 0, format_);
      for (size_t slot = p * mapRowsPerPage_;
           slot < std::min(rows.size(), (p + 1) * mapRowsPerPage_); ++slot) {
        page.Add(rows[slot]);
      }
      sink_.Put(page.Number(), page.Finish());
    }
  }

  void WriteDefinition(TableState& t) {
    DefinitionState state;
    state.rowCount = t.rowCount;
    state.nextAutoNumber = static_cast<uint32_t>(t.nextAutoNumber);
    state.usedPagesMap = SlotPointer(t.usedMapSlot);
    state.freePagesMap = SlotPointer(t.freeMapSlot);
    for (uint32_t slot : t.indexMapSlots) state.indexMaps.push_back(SlotPointer(slot));
    state.indexRoots = t.indexRoots;
    for (uint32_t slot : t.longUsedSlots) state.longUsedMaps.push_back(SlotPointer(slot));
    for (uint32_t slot : t.longFreeSlots) state.longFreeMaps.push_back(SlotPointer(slot));
    std::string definition = BuildTableDefinition(t.layout, t.system, state, format_);
    std::vector<std::string> pages = PageDefinition(definition, t.definitionPages, format_);
    for (size_t i = 0; i < pages.size(); ++i) sink_.Put(t.definitionPages[i], pages[i]);
  }

  const FixtureDatabase& database_;
  PageSink& sink_;
  WriterFormat format_;
  size_t chainPiece_;      // the bytes of a long value each page of a chain holds
  size_t mapRowsPerPage_;  // usage map rows on one page
  std::vector<FixtureTable> systemTables_;
  std::vector<TableState> tables_;
  std::vector<uint32_t> mapPages_;
  uint32_t mapSlotCount_ = 0;
  uint32_t nextPage_ = 0;
  std::string rowBytes_;
};

// Passes pages on RC4-encoded under the file's page key mixed with each
// page's number; the header page stays as it is.
class EncodingSink : public PageSink {
 public:
  EncodingSink(PageSink& inner, uint32_t key) : inner_(inner), key_(key) {}
  void Put(uint32_t page, const std::string& bytes) override {
    if (page == 0) return inner_.Put(page, bytes);
    std::string key(4, '\0');
    Place<uint32_t>(key, 0, key_ ^ page);
    std::string encoded = bytes;
    Rc4(key, encoded.data(), encoded.size());
    inner_.Put(page, encoded);
  }

 private:
  PageSink& inner_;
  uint32_t key_;
};

void WritePages(const FixtureDatabase& database, PageSink& sink, const WriterFormat& format) {
  if (database.pageKey == 0) return JetWriter(database, sink, format).Write();
  EncodingSink encoding(sink, database.pageKey);
  JetWriter(database, encoding, format).Write();
}

std::string Write(const FixtureDatabase& database, const WriterFormat& format) {
  MemorySink sink(format.pageSize);
  WritePages(database, sink, format);
  return sink.Take();
}

void WriteFile(const FixtureDatabase& database, const std::filesystem::path& path,
               const WriterFormat& format) {
  FileSink sink(path, format.pageSize);
  WritePages(database, sink, format);
  sink.Close();
}

}  // namespace

std::string WriteJet4(const FixtureDatabase& database) {
  return Write(database, WriterFormat::Jet4());
}

void WriteJet4File(const FixtureDatabase& database, const std::filesystem::path& path) {
  WriteFile(database, path, WriterFormat::Jet4());
}

std::string WriteJet3(const FixtureDatabase& database) {
  return Write(database, WriterFormat::Jet3());
}

void WriteJet3File(const FixtureDatabase& database, const std::filesystem::path& path) {
  WriteFile(database, path, WriterFormat::Jet3());
}

FixtureColumn MakeColumn(std::string name, ColumnKind kind, int size) {
  FixtureColumn column;
  column.name = std::move(name);
  column.kind = kind;
  column.size = size;
  return column;
}

FixtureColumn MakeCounter(std::string name) {
  FixtureColumn column = MakeColumn(std::move(name), ColumnKind::Long);
  column.required = true;
  column.autoNumber = true;
  return column;
}

}  // namespace bracken::testing
