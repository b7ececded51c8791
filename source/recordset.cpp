// The row side of the access objects: a recordset streams one table's rows
// and its fields decode the current row's values on demand.

#include <map>

#include "source/access_data.h"
#include "source/connection_text.h"
#include "source/jet/attachment_data.h"
#include "source/jet/long_value.h"
#include "source/jet/row_layout.h"
#include "source/jet/row_scanner.h"
#include "source/jet/text_decoding.h"
#include "source/jet/value_decoding.h"
#include "source/source_error.h"
#include "source/version_history.h"

namespace bracken::source {

class HistoryRows;

class RecordsetCursor {
 public:
  RecordsetCursor(std::shared_ptr<DatabaseData> database, std::shared_ptr<const TableData> table)
      : database_(std::move(database)),
        table_(std::move(table)),
        format_(database_->database->header.format),
        scanner_(database_->database->file, format_, table_->definition),
        context_{database_->database->file.get(), format_, database_->database->header.codePage},
        longValues_(*database_->database->file, format_),
        columns_(table_->definition->columns.data()),
        count_(static_cast<long>(table_->columnsInOrder.size())) {
    for (const auto& column : table_->columnsInOrder) positions_.push_back(column->position);
    if (table_->history) OpenHistory();
    MoveNext();
  }
  ~RecordsetCursor();

  long Count() const { return count_; }
  bool Eof() const { return eof_; }
  std::vector<std::string> Damage() const;

  const ColumnData& Meta(long index) const {
    if (index < 0 || index >= count_) ThrowItemNotFound();
    return *table_->columnsInOrder[static_cast<size_t>(index)];
  }

  long FindIndex(std::string_view name) const {
    for (long i = 0; i < Count(); ++i) {
      if (NameEqual(Meta(i).name, name)) return i;
    }
    ThrowItemNotFound();
  }

  void MoveNext() {
    if (eof_ && started_) {
      ThrowSourceError("Either BOF or EOF is True, or the current record has been deleted.");
    }
    started_ = true;
    if (history_) [[unlikely]] {
      eof_ = !NextHistoryRow();
      return;
    }
    // A row whose fields cannot be told apart is left out, and noted.
    while ((eof_ = !scanner_.Next()) == false) {
      try {
        layout_.Parse(scanner_.Row(), *table_->definition, format_, slices_);
        return;
      } catch (const SourceError& error) {
        scanner_.LeaveOut(error);
      }
    }
  }

  Variant Value(long index) const {
    if (history_) [[unlikely]]
      return CurrentHistoryCell(index).value;
    const jet::ColumnDefinition& column = Column(index);
    const jet::FieldSlice& slice = Slice(index);
    if (column.kind == jet::ColumnKind::Boolean && !column.calculated) {
      return Variant::Boolean(slice.present);
    }
    if (!slice.present) return Variant();
    if (jet::IsLongValue(column.kind) && !column.calculated) {
      if (Meta(index).attachmentFile) {
        return Variant::Binary(jet::AttachmentFileBytes(LongValueBytes(slice)));
      }
      return jet::LongValueVariant(column, LongValueBytes(slice), context_);
    }
    return jet::DecodeValue(column, Stored(slice), context_);
  }

  std::vector<ComplexItem> Items(long index) const {
    const ColumnData& meta = Meta(index);
    if (!meta.complex) return {};
    Variant set = Value(index);
    if (set.IsNull()) return {};
    auto& cache = items_[meta.position];
    if (!cache) cache = ReadItems(*meta.complex);
    auto number = static_cast<int32_t>(set.ToInt64());
    // A set with an element that cannot be read fails as a whole, as a
    // value that cannot be read does; the other sets read.
    if (auto broken = cache->broken.find(number); broken != cache->broken.end()) {
      ThrowDamaged(broken->second);
    }
    auto found = cache->sets.find(number);
    return found == cache->sets.end() ? std::vector<ComplexItem>{} : found->second;
  }

  long ActualSize(long index) const {
    if (history_) [[unlikely]]
      return CurrentHistoryCell(index).size;
    const jet::ColumnDefinition& column = Column(index);
    const jet::FieldSlice& slice = Slice(index);
    if (column.calculated) {
      return slice.present ? static_cast<long>(Value(index).ToText().size()) : 0;
    }
    if (column.kind == jet::ColumnKind::Boolean) return 2;
    if (!slice.present) return 0;
    switch (column.kind) {
      case jet::ColumnKind::Text:
        return static_cast<long>(2 * TextUnits(Stored(slice)));
      case jet::ColumnKind::Memo:
        return static_cast<long>(2 * TextUnits(LongValueBytes(slice)));
      case jet::ColumnKind::Ole:
        if (Meta(index).attachmentFile) return static_cast<long>(Value(index).Bytes().size());
        return static_cast<long>(LongValueBytes(slice).size());
      default:
        return static_cast<long>(slice.length);
    }
  }

 private:
  // A version history's rows are joined from two other scans.
  void OpenHistory();
  bool NextHistoryRow();
  const HistoryCell& CurrentHistoryCell(long index) const;

  // The table's columns are the recordset's fields, in the same order.
  const jet::ColumnDefinition& Column(long index) const {
    if (index < 0 || index >= count_) ThrowItemNotFound();
    if (eof_) {
      ThrowSourceError("Either BOF or EOF is True, or the current record has been deleted.");
    }
    return columns_[positions_[static_cast<size_t>(index)]];
  }

  const jet::FieldSlice& Slice(long index) const {
    return slices_[positions_[static_cast<size_t>(index)]];
  }

  struct ItemMap {
    std::map<int32_t, std::vector<ComplexItem>> sets;
    std::map<int32_t, std::string> broken;  // why an element of the set cannot be read
  };

  // Every element of a complex column, by set number, read from its flat
  // table in one pass.
  std::shared_ptr<ItemMap> ReadItems(const ComplexColumnData& complex) const {
    auto items = std::make_shared<ItemMap>();
    jet::RowScanner scanner(database_->database->file, format_, complex.flat);
    jet::RowLayout layout;
    std::vector<jet::FieldSlice> slices;
    while (scanner.Next()) {
      try {
        layout.Parse(scanner.Row(), *complex.flat, format_, slices);
      } catch (const SourceError&) {
        continue;  // the child table's own scan names it
      }
      const jet::FieldSlice& set = slices[complex.setPosition];
      if (!set.present) continue;
      Variant number = jet::DecodeValue(complex.flat->columns[complex.setPosition],
                                        scanner.Row().Sub(set.offset, set.length), context_);
      ComplexItem item;
      try {
        for (const auto& [name, position] : complex.items) {
          item.emplace_back(name, ItemValue(complex, position, scanner.Row(), slices[position]));
        }
      } catch (const SourceError& error) {
        items->broken.emplace(static_cast<int32_t>(number.ToInt64()), DamageReason(error));
        continue;
      }
      items->sets[static_cast<int32_t>(number.ToInt64())].push_back(std::move(item));
    }
    return items;
  }

  Variant ItemValue(const ComplexColumnData& complex, size_t position, jet::Bytes row,
                    const jet::FieldSlice& slice) const {
    const jet::ColumnDefinition& column = complex.flat->columns[position];
    if (column.kind == jet::ColumnKind::Boolean) return Variant::Boolean(slice.present);
    if (!slice.present) return Variant();
    jet::Bytes stored = row.Sub(slice.offset, slice.length);
    if (!jet::IsLongValue(column.kind)) return jet::DecodeValue(column, stored, context_);
    jet::Bytes whole = stored.empty() ? stored : longValues_.Read(stored);
    if (complex.attachment && column.name == "FileData") {
      return Variant::Binary(jet::AttachmentFileBytes(whole));
    }
    return jet::LongValueVariant(column, whole, context_);
  }

  jet::Bytes Stored(const jet::FieldSlice& slice) const {
    return scanner_.Row().Sub(slice.offset, slice.length);
  }

  // A memo or OLE value's stored bytes, read when its field is asked for;
  // asked for again (its size, then its value) it is not read anew.
  jet::Bytes LongValueBytes(const jet::FieldSlice& slice) const {
    jet::Bytes field = Stored(slice);
    return field.empty() ? field : longValues_.Read(field);
  }

  size_t TextUnits(jet::Bytes stored) const {
    return jet::TextUnits(stored, format_.jet3, context_.codePage);
  }

  std::shared_ptr<DatabaseData> database_;
  std::shared_ptr<const TableData> table_;
  jet::Format format_;
  jet::RowScanner scanner_;
  jet::RowLayout layout_;
  std::vector<jet::FieldSlice> slices_;
  jet::ValueContext context_;
  mutable jet::LongValueReader longValues_;
  const jet::ColumnDefinition* columns_;
  std::vector<size_t> positions_;  // each field's column in the table definition
  mutable std::map<size_t, std::shared_ptr<ItemMap>> items_;
  std::unique_ptr<HistoryRows> history_;
  long count_;
  bool eof_ = true;
  bool started_ = false;
};

// The rows of a version history child table: the versions of each parent
// row in the parent's order, then those no row holds. The versions are read
// whole first; the parent streams.
class HistoryRows {
 public:
  HistoryRows(const std::shared_ptr<DatabaseData>& database, const VersionHistoryData& data)
      : data_(data), parent_(database, data.parentRows) {
    RecordsetCursor versions(database, data.versionRows);
    for (; !versions.Eof(); versions.MoveNext()) {
      join_.Add(versions.Value(0), {ReadCell(versions, 1), ReadCell(versions, 2)});
    }
    damage_ = versions.Damage();
  }

  bool Next() {
    while (next_ >= pending_.size()) {
      if (!parent_.Eof()) {
        // A set number that cannot be read leaves its versions to the end.
        HistoryCell set = ReadCell(parent_, static_cast<long>(data_.keyCount));
        pending_ = join_.Take(set.value);
        ++position_;
        key_.clear();
        if (data_.keyedByPosition) {
          key_.push_back({Variant::Long(position_), 4, nullptr});
        } else {
          for (size_t k = 0; k < data_.keyCount && !pending_.empty(); ++k) {
            key_.push_back(ReadCell(parent_, static_cast<long>(k)));
          }
        }
        parent_.MoveNext();
      } else if (!leftoverTaken_) {
        leftoverTaken_ = true;
        key_.assign(KeyWidth(), HistoryCell{});
        pending_ = join_.Leftover();
      } else {
        return false;
      }
      next_ = 0;
    }
    current_ = next_++;
    return true;
  }

  const HistoryCell& Cell(long index) const {
    size_t at = static_cast<size_t>(index);
    if (at < key_.size()) return key_[at];
    return at == key_.size() ? pending_[current_].date : pending_[current_].text;
  }

  std::vector<std::string> Damage() const {
    std::vector<std::string> notes = damage_;
    if (join_.LeftoverVersions() > 0) {
      notes.push_back(LeftoverNote(join_.LeftoverVersions(), data_.parentTable));
    }
    return notes;
  }

 private:
  static HistoryCell ReadCell(const RecordsetCursor& cursor, long index) {
    try {
      return {cursor.Value(index), cursor.ActualSize(index), nullptr};
    } catch (const SourceError& error) {
      return {Variant(), 0, std::make_shared<SourceError>(error)};
    }
  }

  size_t KeyWidth() const { return data_.keyedByPosition ? 1 : data_.keyCount; }

  const VersionHistoryData& data_;
  RecordsetCursor parent_;
  VersionHistoryJoin join_;
  std::vector<std::string> damage_;
  std::vector<HistoryCell> key_;
  std::vector<StoredVersion> pending_;
  size_t next_ = 0;
  size_t current_ = 0;
  int32_t position_ = 0;
  bool leftoverTaken_ = false;
};

RecordsetCursor::~RecordsetCursor() = default;

std::vector<std::string> RecordsetCursor::Damage() const {
  return history_ ? history_->Damage() : scanner_.Damage();
}

void RecordsetCursor::OpenHistory() {
  history_ = std::make_unique<HistoryRows>(database_, *table_->history);
}

bool RecordsetCursor::NextHistoryRow() { return history_->Next(); }

const HistoryCell& RecordsetCursor::CurrentHistoryCell(long index) const {
  Meta(index);  // an unknown field fails here
  if (eof_) {
    ThrowSourceError("Either BOF or EOF is True, or the current record has been deleted.");
  }
  const HistoryCell& cell = history_->Cell(index);
  if (cell.error) throw *cell.error;
  return cell;
}

namespace {

const RecordsetCursor& Open(const RecordsetCursor* cursor) {
  if (cursor == nullptr) {
    ThrowSourceError("Operation is not allowed when the object is closed.");
  }
  return *cursor;
}

// The table name of "SELECT * FROM [name]": what stands between the first
// "[" and the last "]".
std::string TableNameOf(const std::string& sourceText) {
  size_t open = sourceText.find('[');
  size_t close = sourceText.rfind(']');
  if (open == std::string::npos || close == std::string::npos || close <= open) {
    ThrowSourceError("Syntax error in FROM clause.");
  }
  return sourceText.substr(open + 1, close - open - 1);
}

std::unique_ptr<RecordsetCursor> OpenCursor(const std::string& sourceText,
                                            std::shared_ptr<DatabaseData> database) {
  if (!database) ThrowSourceError("Operation is not allowed when the object is closed.");
  std::string name = TableNameOf(sourceText);
  for (const auto& table : database->tableData) {
    if (!NameEqual(table->name, name)) continue;
    if (!table->definition && !table->damage.empty()) {
      ThrowDamaged("the definition of the table '" + name + "' cannot be read");
    }
    if (!table->definition) {
      ThrowSourceError("The table '" + name +
                       "' is a query or a linked table, which this "
                       "reader cannot open.");
    }
    return std::make_unique<RecordsetCursor>(std::move(database), table);
  }
  ThrowSourceError("The Microsoft Jet database engine cannot find the input table or query '" +
                   name + "'.  Make sure it exists and that its name is spelled correctly.");
}

}  // namespace

const std::string& Field::Name() const { return Open(cursor_).Meta(index_).name; }
int32_t Field::Type() const { return Open(cursor_).Meta(index_).type; }
int32_t Field::DefinedSize() const { return Open(cursor_).Meta(index_).definedSize; }
uint8_t Field::NumericScale() const { return Open(cursor_).Meta(index_).scale; }
uint8_t Field::Precision() const { return Open(cursor_).Meta(index_).precision; }
long Field::ActualSize() const { return Open(cursor_).ActualSize(index_); }
Variant Field::Value() const { return Open(cursor_).Value(index_); }
std::vector<ComplexItem> Field::Items() const { return Open(cursor_).Items(index_); }

long Fields::Count() const { return cursor_ == nullptr ? 0 : cursor_->Count(); }
Field Fields::Item(std::string_view name) const {
  return Field(cursor_, Open(cursor_).FindIndex(name));
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

void Recordset::Open(const std::string& sourceText, const std::string& connectionText) {
  std::string name = TableNameOf(sourceText);
  cursor_ = OpenCursor(sourceText, OpenDatabaseData(connectionText, &name));
}

void Recordset::Open(const std::string& sourceText, const Catalog& catalog) {
  cursor_ = OpenCursor(sourceText, catalog.Database());
}

source::Fields Recordset::Fields() const { return source::Fields(cursor_.get()); }
bool Recordset::Eof() const { return cursor_ == nullptr || cursor_->Eof(); }
std::vector<std::string> Recordset::Damage() const {
  return cursor_ == nullptr ? std::vector<std::string>{} : cursor_->Damage();
}
void Recordset::MoveNext() {
  if (cursor_ == nullptr) ThrowSourceError("Operation is not allowed when the object is closed.");
  cursor_->MoveNext();
}

}  // namespace bracken::source
