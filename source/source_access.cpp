// The catalogue side of the access objects: properties, columns, indexes,
// tables and the catalogue itself.

#include "source/source_access.h"

#include "source/access_data.h"
#include "source/jet/relationships.h"

namespace bracken::source {

namespace {

template <typename T>
const T& At(const std::vector<T>& items, long index) {
  if (index < 0 || static_cast<size_t>(index) >= items.size()) ThrowItemNotFound();
  return items[static_cast<size_t>(index)];
}

// Names match without regard to case; where two items differ only by case
// (a file Access itself would not write), the one spelt exactly wins.
template <typename T>
const T& Named(const std::vector<T>& items, std::string_view name) {
  const T* found = nullptr;
  for (const auto& item : items) {
    if (item.Name() == name) return item;
    if (found == nullptr && NameEqual(item.Name(), name)) found = &item;
  }
  if (found == nullptr) ThrowItemNotFound();
  return *found;
}

std::string TextOf(const Properties& properties, std::string_view name) {
  const Property* property = properties.Find(name);
  return property == nullptr || property->Value().IsNull() ? std::string()
                                                           : property->Value().ToText();
}

bool FlagOf(const Properties& properties, std::string_view name) {
  const Property* property = properties.Find(name);
  return property != nullptr && !property->Value().IsNull() && property->Value().ToBool();
}

}  // namespace

Property::Property(std::string name, Variant value)
    : name_(std::move(name)), value_(std::move(value)) {}

Properties::Properties(std::vector<Property> items) : items_(std::move(items)) {}
long Properties::Count() const { return static_cast<long>(items_.size()); }
const Property& Properties::Item(long index) const { return At(items_, index); }
const Property& Properties::Item(std::string_view name) const { return Named(items_, name); }
const Property* Properties::Find(std::string_view name) const {
  const Property* found = nullptr;
  for (const auto& item : items_) {
    if (item.Name() == name) return &item;
    if (found == nullptr && NameEqual(item.Name(), name)) found = &item;
  }
  return found;
}

Column::Column(std::shared_ptr<const ColumnData> data) : data_(std::move(data)) {}
const std::string& Column::Name() const { return data_->name; }
int32_t Column::Type() const { return data_->type; }
int32_t Column::DefinedSize() const { return data_->definedSize; }
uint8_t Column::NumericScale() const { return data_->scale; }
uint8_t Column::Precision() const { return data_->precision; }
const source::Properties& Column::Properties() const { return data_->properties; }
std::string Column::DefaultValue() const { return TextOf(data_->properties, "Default"); }
std::string Column::ValidationRule() const {
  return TextOf(data_->properties, "Jet OLEDB:Column Validation Rule");
}
std::string Column::ValidationText() const {
  return TextOf(data_->properties, "Jet OLEDB:Column Validation Text");
}
std::string Column::Description() const { return TextOf(data_->properties, "Description"); }
bool Column::Required() const { return FlagOf(data_->properties, "Required"); }
bool Column::AllowZeroLength() const {
  return FlagOf(data_->properties, "Jet OLEDB:Allow Zero Length");
}

Columns::Columns(std::vector<Column> items) : items_(std::move(items)) {}
long Columns::Count() const { return static_cast<long>(items_.size()); }
Column Columns::Item(long index) const { return At(items_, index); }
Column Columns::Item(std::string_view name) const { return Named(items_, name); }

Index::Index(std::shared_ptr<const IndexData> data) : data_(std::move(data)) {}
const std::string& Index::Name() const { return data_->name; }
bool Index::PrimaryKey() const { return data_->primaryKey; }
bool Index::Unique() const { return data_->unique; }
source::Columns Index::Columns() const { return source::Columns(data_->columns); }

Indexes::Indexes(std::vector<Index> items) : items_(std::move(items)) {}
long Indexes::Count() const { return static_cast<long>(items_.size()); }
Index Indexes::Item(long index) const { return At(items_, index); }

Table::Table(std::shared_ptr<const TableData> data) : data_(std::move(data)) {}
const std::string& Table::Name() const { return data_->name; }
const std::string& Table::Type() const { return data_->type; }
source::Columns Table::Columns() const { return source::Columns(data_->columnsByName); }
source::Indexes Table::Indexes() const { return source::Indexes(data_->indexes); }
const source::Properties& Table::Properties() const { return data_->properties; }
std::string Table::ValidationRule() const {
  return TextOf(data_->properties, "Jet OLEDB:Table Validation Rule");
}
std::string Table::ValidationText() const {
  return TextOf(data_->properties, "Jet OLEDB:Table Validation Text");
}
std::string Table::Description() const { return TextOf(data_->properties, "Description"); }
const std::vector<std::string>& Table::Damage() const { return data_->damage; }
long Table::StoredRowCount() const {
  return data_->definition ? static_cast<long>(data_->definition->rowCount) : -1;
}

Tables::Tables(std::vector<Table> items) : items_(std::move(items)) {}
long Tables::Count() const { return static_cast<long>(items_.size()); }
Table Tables::Item(long index) const { return At(items_, index); }
Table Tables::Item(std::string_view name) const { return Named(items_, name); }

bool Relationship::Enforced() const { return (attributes & jet::kRelationshipNotEnforced) == 0; }
bool Relationship::CascadeUpdates() const {
  return (attributes & jet::kRelationshipCascadeUpdates) != 0;
}
bool Relationship::CascadeDeletes() const {
  return (attributes & jet::kRelationshipCascadeDeletes) != 0;
}
bool Relationship::CascadeNull() const { return (attributes & jet::kRelationshipCascadeNull) != 0; }
bool Relationship::OneToOne() const { return (attributes & jet::kRelationshipOneToOne) != 0; }
bool Relationship::Inherited() const { return (attributes & jet::kRelationshipInherited) != 0; }

Catalog::Catalog() = default;

void Catalog::SetActiveConnection(const std::string& connectionText) {
  auto database = OpenDatabaseData(connectionText);
  tables_ = source::Tables(database->tables);
  database_ = std::move(database);
}

void Catalog::OpenBuffer(std::string bytes, const std::string& password) {
  auto database = OpenDatabaseBuffer(std::move(bytes), password);
  tables_ = source::Tables(database->tables);
  database_ = std::move(database);
}

source::Tables Catalog::Tables() const { return tables_; }

const std::vector<std::string>& Catalog::Damage() const {
  static const std::vector<std::string> kNone;
  return database_ ? database_->damage : kNone;
}

const std::vector<Relationship>& Catalog::Relationships() const {
  static const std::vector<Relationship> kNone;
  return database_ ? database_->relationships : kNone;
}

const std::vector<Query>& Catalog::Queries() const {
  static const std::vector<Query> kNone;
  return database_ ? database_->queries : kNone;
}

std::string Catalog::FormatName() const {
  if (database_ == nullptr) return "";
  const jet::Format& format = database_->database->header.format;
  if (format.jet3) return "Jet3";
  if (!format.ace) return "Jet4";
  return "ACE" + std::to_string(format.version == 2   ? 12
                                : format.version == 3 ? 14
                                : format.version == 5 ? 16
                                                      : 17);
}

bool Catalog::IsJet3() const {
  return database_ != nullptr && database_->database->header.format.jet3;
}

}  // namespace bracken::source
