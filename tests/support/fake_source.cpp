#include "tests/support/fake_source.h"

namespace bracken::testing {

namespace {

[[noreturn]] void Fail(const std::string& description) {
  throw source::SourceError(-2147467259, "Bracken Access Reader", description);
}

long SizeOf(const source::Variant& value) {
  switch (value.kind()) {
    case source::Variant::Kind::Null:
      return 0;
    case source::Variant::Kind::Text:
    case source::Variant::Kind::Binary:
    case source::Variant::Kind::Guid:
      return static_cast<long>(value.Bytes().size());
    default:
      return 8;
  }
}

class FakeRows : public engine::RowSource {
 public:
  explicit FakeRows(const FakeTable& table) : table_(table) {}
  long FieldCount() override { return static_cast<long>(table_.columns.size()); }
  engine::ColumnDescription Field(long index) override {
    return table_.columns.at(static_cast<std::size_t>(index)).description;
  }
  bool Eof() override { return row_ >= table_.rows.size(); }
  void MoveNext() override { ++row_; }
  long ActualSize(long index) override { return SizeOf(Cell(index)); }
  source::Variant Value(long index) override { return Cell(index); }
  std::vector<std::string> Damage() override {
    return Eof() ? table_.rowDamage : std::vector<std::string>{};
  }

 private:
  const source::Variant& Cell(long index) {
    if (static_cast<long>(row_) == table_.rowFailureAt) Fail("Could not read the record.");
    return table_.rows.at(row_).at(static_cast<std::size_t>(index));
  }
  const FakeTable& table_;
  std::size_t row_ = 0;
};

}  // namespace

FakeTable& FakeSource::Find(const std::string& table) {
  auto found = tables.find(table);
  if (found == tables.end()) Fail("Item cannot be found in the collection.");
  return found->second;
}

std::vector<engine::ColumnDescription> FakeSource::Columns(const std::string& table) {
  std::vector<engine::ColumnDescription> columns;
  for (const FakeColumn& column : Find(table).columns) columns.push_back(column.description);
  return columns;
}

long FakeSource::IndexCount(const std::string& table) {
  return static_cast<long>(Find(table).indexes.size());
}

engine::IndexDescription FakeSource::Index(const std::string& table, long index) {
  FakeTable& fake = Find(table);
  if (index == fake.indexFailureAt) Fail("Unspecified error");
  return fake.indexes.at(static_cast<std::size_t>(index));
}

engine::ColumnFlags FakeSource::Flags(const std::string& table, const std::string& column) {
  FakeTable& fake = Find(table);
  if (column == fake.flagsFailureFor) Fail("Unspecified error");
  for (const FakeColumn& c : fake.columns) {
    if (c.description.name == column) return c.flags;
  }
  Fail("Item cannot be found in the collection.");
}

std::unique_ptr<engine::RowSource> FakeSource::OpenRows(const std::string& table) {
  FakeTable& fake = Find(table);
  if (!fake.openFailure.empty()) Fail(fake.openFailure);
  return std::make_unique<FakeRows>(fake);
}

std::vector<std::string> FakeSource::ChildTables(const std::string& table) {
  return Find(table).children;
}

std::vector<std::string> FakeSource::TableDamage(const std::string& table) {
  return Find(table).damage;
}

long FakeSource::StoredRowCount(const std::string& table) { return Find(table).storedRows; }

FakeColumn TextColumn(const std::string& name, int size, bool nullable) {
  return {{name, source::adVarWChar, size, 0, 0}, {nullable, false}};
}

FakeColumn LongColumn(const std::string& name, bool autoIncrement, bool nullable) {
  return {{name, source::adInteger, 4, 0, 10}, {nullable, autoIncrement}};
}

FakeColumn TypedColumn(const std::string& name, int32_t type, int32_t size, bool nullable) {
  return {{name, type, size, 0, 0}, {nullable, false}};
}

engine::IndexDescription Key(const std::string& name, std::vector<std::string> columns,
                             bool primary, bool unique) {
  return {name, primary, unique, std::move(columns)};
}

}  // namespace bracken::testing
