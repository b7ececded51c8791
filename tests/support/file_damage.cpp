#include "tests/support/file_damage.h"

#include <stdexcept>

#include "tests/support/ace_header.h"

namespace bracken::testing {

namespace {

constexpr uint8_t kDataPage = 0x01;
constexpr uint8_t kDefinitionPage = 0x02;
constexpr uint32_t kCataloguePage = 2;
constexpr uint32_t kLongValueOwner = 0x4c41564c;  // "LVAL"
constexpr uint16_t kOffsetMask = 0x1FFF;

uint16_t Get16(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes.at(at)) |
                               (static_cast<uint8_t>(bytes.at(at + 1)) << 8));
}

uint32_t Get32(const std::string& bytes, size_t at) {
  return Get16(bytes, at) | (uint32_t{Get16(bytes, at + 2)} << 16);
}

void Put16(std::string& bytes, size_t at, uint16_t value) {
  bytes.at(at) = static_cast<char>(value & 0xFF);
  bytes.at(at + 1) = static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
  Put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

}  // namespace

std::string Utf16(std::string_view ascii) {
  std::string out;
  for (char c : ascii) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

DamagedFile::DamagedFile(std::string bytes)
    : bytes_(std::move(bytes)), pageSize_(bytes_.size() > 0x14 && bytes_[0x14] == 0 ? 2048 : 4096) {
  if (bytes_.size() < 3 * pageSize_) throw std::invalid_argument("not a written Access file");
}

PageKind DamagedFile::KindOf(uint32_t page) const {
  if (page == 0) return PageKind::Header;
  size_t base = size_t{page} * pageSize_;
  uint8_t type = static_cast<uint8_t>(bytes_.at(base));
  if (type == kDefinitionPage) {
    return page == kCataloguePage ? PageKind::CatalogueDefinition : PageKind::TableDefinition;
  }
  if (type != kDataPage) return PageKind::Other;
  uint32_t owner = Get32(bytes_, base + 4);
  if (owner == kLongValueOwner) return PageKind::LongValue;
  if (owner == kCataloguePage) return PageKind::Catalogue;
  if (owner < PageCount() && KindOf(owner) == PageKind::TableDefinition) return PageKind::Data;
  return PageKind::Other;
}

std::vector<uint32_t> DamagedFile::PagesOf(PageKind kind) const {
  std::vector<uint32_t> pages;
  for (uint32_t page = 0; page < PageCount(); ++page) {
    if (KindOf(page) == kind) pages.push_back(page);
  }
  return pages;
}

std::vector<uint32_t> DamagedFile::DataPagesOf(uint32_t definitionPage) const {
  std::vector<uint32_t> pages;
  for (uint32_t page = 1; page < PageCount(); ++page) {
    size_t base = size_t{page} * pageSize_;
    if (bytes_.at(base) == kDataPage && Get32(bytes_, base + 4) == definitionPage) {
      pages.push_back(page);
    }
  }
  return pages;
}

uint32_t DamagedFile::DefinitionPageHolding(std::string_view stored) const {
  for (uint32_t page : PagesOf(PageKind::Data)) {
    std::string_view content(bytes_.data() + size_t{page} * pageSize_, pageSize_);
    if (content.find(stored) != std::string_view::npos) {
      return Get32(bytes_, size_t{page} * pageSize_ + 4);
    }
  }
  throw std::invalid_argument("no table holds that text");
}

uint32_t DamagedFile::LongValueRow(std::string_view part) const {
  for (uint32_t page : PagesOf(PageKind::LongValue)) {
    size_t base = size_t{page} * pageSize_;
    uint16_t rows = Get16(bytes_, base + RowCountOffset());
    for (uint16_t row = 0; row < rows; ++row) {
      size_t begin = Get16(bytes_, base + RowCountOffset() + 2 + size_t{2} * row) & kOffsetMask;
      size_t end = row == 0
                       ? pageSize_
                       : Get16(bytes_, base + RowCountOffset() + size_t{2} * row) & kOffsetMask;
      std::string_view bytes(bytes_.data() + base + begin, end - begin);
      if (bytes.find(part) != std::string_view::npos) return (page << 8) | row;
    }
  }
  throw std::invalid_argument("no long value holds that text");
}

int DamagedFile::RedirectLongValue(uint32_t from, uint32_t to) {
  // The header of a value kept whole on one page: its length with the form
  // 0x40 in the top byte, then the pointer.
  size_t entry = OffsetEntry(from);
  size_t begin = Get16(bytes_, entry) & kOffsetMask;
  size_t end = (from & 0xFF) == 0 ? pageSize_ : Get16(bytes_, entry - 2) & kOffsetMask;
  uint32_t header = 0x40000000u | static_cast<uint32_t>(end - begin);
  int changed = 0;
  for (PageKind kind : {PageKind::Catalogue, PageKind::Data}) {
    for (uint32_t page : PagesOf(kind)) {
      size_t base = size_t{page} * pageSize_;
      for (size_t at = base + 8; at + 8 <= base + pageSize_; ++at) {
        if (Get32(bytes_, at) != header || Get32(bytes_, at + 4) != from) continue;
        Put32(bytes_, at + 4, to);
        ++changed;
      }
    }
  }
  return changed;
}

size_t DamagedFile::OffsetEntry(uint32_t pointer) const {
  return size_t{pointer >> 8} * pageSize_ + RowCountOffset() + 2 + size_t{2} * (pointer & 0xFF);
}

uint32_t DamagedFile::DataPageHolding(std::string_view part) const {
  for (uint32_t page = 1; page < PageCount(); ++page) {
    std::string_view content(bytes_.data() + size_t{page} * pageSize_, pageSize_);
    if (content[0] == kDataPage && content.find(part) != std::string_view::npos) return page;
  }
  return 0;
}

uint32_t DamagedFile::RowHolding(std::string_view part) const {
  uint32_t page = DataPageHolding(part);
  if (page == 0) return 0;
  size_t base = size_t{page} * pageSize_;
  size_t at = std::string_view(bytes_.data() + base, pageSize_).find(part);
  uint16_t rows = Get16(bytes_, base + RowCountOffset());
  size_t end = pageSize_;
  for (uint16_t row = 0; row < rows; ++row) {
    size_t start = Get16(bytes_, base + RowCountOffset() + 2 + size_t{2} * row) & kOffsetMask;
    if (start <= at && at < end) return (page << 8) | row;
    end = start;
  }
  return 0;
}

void DamagedFile::BreakRow(uint32_t pointer) {
  size_t entry = OffsetEntry(pointer);
  Put16(bytes_, entry, Get16(bytes_, entry) | kOffsetMask);
}

void DamagedFile::DeleteRow(uint32_t pointer) {
  size_t entry = OffsetEntry(pointer);
  Put16(bytes_, entry, Get16(bytes_, entry) | 0xC000);
}

void DamagedFile::LoseRow(uint32_t pointer) {
  size_t entry = OffsetEntry(pointer);
  Put16(bytes_, entry, static_cast<uint16_t>(0xC000 | kOffsetMask));
}

void DamagedFile::LoopChain(uint32_t pointer) {
  size_t base = size_t{pointer >> 8} * pageSize_;
  size_t start = Get16(bytes_, OffsetEntry(pointer)) & kOffsetMask;
  Put32(bytes_, base + start, pointer);
}

void DamagedFile::ZeroPage(uint32_t page) {
  bytes_.replace(size_t{page} * pageSize_, pageSize_, pageSize_, '\0');
}

void DamagedFile::SwapPages(uint32_t a, uint32_t b) {
  std::string first = bytes_.substr(size_t{a} * pageSize_, pageSize_);
  bytes_.replace(size_t{a} * pageSize_, pageSize_, bytes_, size_t{b} * pageSize_, pageSize_);
  bytes_.replace(size_t{b} * pageSize_, pageSize_, first);
}

void DamagedFile::Scribble(uint32_t page, size_t offset, size_t length, uint8_t value) {
  bytes_.replace(size_t{page} * pageSize_ + offset, length, length, static_cast<char>(value));
}

ZeroedPage ZeroDataPageHolding(std::string& file, std::string_view marker) {
  DamagedFile damaged(file);
  ZeroedPage zeroed;
  zeroed.page = damaged.DataPageHolding(marker);
  if (zeroed.page == 0) return zeroed;
  size_t base = static_cast<size_t>(zeroed.page) * damaged.PageSize();
  zeroed.definition = Get32(file, base + 4);
  zeroed.rows = Get16(file, base + 12);
  ZeroPage(file, zeroed.page);
  return zeroed;
}

long BreakRowHolding(std::string& file, std::string_view marker) {
  DamagedFile damaged(file);
  uint32_t row = damaged.RowHolding(marker);
  if (row == 0) row = damaged.RowHolding(Utf16(marker));
  if (row == 0) return 0;
  damaged.BreakRow(row);
  file = damaged.Bytes();
  return row >> 8;
}

void ZeroPage(std::string& file, long page) {
  const auto start = static_cast<size_t>(page) * 4096;
  if (start + 4096 <= file.size()) file.replace(start, 4096, 4096, '\0');
}

const std::string kPageNote = "page-note " + std::string(1200, 'p');
const std::string kChainNote = "chain-note " + std::string(9000, 'c');

const char* FormatName(FileFormat format) {
  return format == FileFormat::Jet3 ? "Jet 3" : format == FileFormat::Jet4 ? "Jet 4" : "ACE";
}

const char* FormatTag(FileFormat format) {
  return format == FileFormat::Jet3 ? "Jet3" : format == FileFormat::Jet4 ? "Jet4" : "Ace";
}

std::string WriteIn(FileFormat format, const FixtureDatabase& database) {
  switch (format) {
    case FileFormat::Jet3:
      return WriteJet3(database);
    case FileFormat::Jet4:
      return WriteJet4(database);
    case FileFormat::Ace:
      return AceFromJet4(WriteJet4(database));
  }
  return {};
}

std::string StoredText(FileFormat format, const std::string& text) {
  return format == FileFormat::Jet3 ? text : Utf16(text);
}

FixtureDatabase DamageSample() {
  FixtureTable orders;
  orders.name = "Orders";
  orders.description = "Every order the shop took, with the customer's own note beside it";
  FixtureColumn note = MakeColumn("Note", ColumnKind::Memo);
  note.compressedText = false;
  note.description = "What the customer wrote when ordering";
  FixtureColumn name = MakeColumn("Name", ColumnKind::Text, 40);
  name.required = true;
  name.compressedText = false;
  orders.columns = {MakeCounter("Id"), name, note};
  orders.indexes = {{"PrimaryKey", {"Id"}, true, true, false}, {"ByName", {"Name"}}};
  for (int i = 1; i <= 30; ++i) {
    orders.rows.push_back({int64_t{i}, "order " + std::to_string(i), std::string("short")});
  }
  orders.rows.push_back({int64_t{31}, std::string("paged"), kPageNote});
  orders.rows.push_back({int64_t{32}, std::string("chained"), kChainNote});

  FixtureTable customers;
  customers.name = "Customers";
  customers.description = "The people and firms that order from the shop, one row each";
  FixtureColumn city = MakeColumn("City", ColumnKind::Text, 30);
  city.compressedText = false;
  customers.columns = {MakeCounter("Id"), city};
  customers.indexes = {{"PrimaryKey", {"Id"}, true, true, false}};
  for (int i = 1; i <= 200; ++i) {
    customers.rows.push_back({int64_t{i}, "city " + std::to_string(i * 7)});
  }
  FixtureDatabase database;
  database.tables = {orders, customers};
  return database;
}

}  // namespace bracken::testing
