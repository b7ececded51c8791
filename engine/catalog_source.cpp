#include "engine/catalog_source.h"

namespace bracken::engine {

namespace {

ColumnDescription Describe(const source::Column& column) {
  return {column.Name(), column.Type(), column.DefinedSize(), column.NumericScale(),
          column.Precision()};
}

bool IsOne(const source::Variant& value) {
  using Kind = source::Variant::Kind;
  Kind kind = value.kind();
  return (kind == Kind::Byte || kind == Kind::Integer || kind == Kind::Long) &&
         value.ToInt64() == 1;
}

class RecordsetRows : public RowSource {
 public:
  explicit RecordsetRows(source::Recordset recordset) : recordset_(std::move(recordset)) {}

  long FieldCount() override { return recordset_.Fields().Count(); }
  ColumnDescription Field(long index) override {
    source::Field field = recordset_.Fields().Item(index);
    return {field.Name(), field.Type(), field.DefinedSize(), field.NumericScale(),
            field.Precision()};
  }
  bool Eof() override { return recordset_.Eof(); }
  void MoveNext() override { recordset_.MoveNext(); }
  long ActualSize(long index) override { return recordset_.Fields().Item(index).ActualSize(); }
  source::Variant Value(long index) override { return recordset_.Fields().Item(index).Value(); }
  std::vector<std::string> Damage() override { return recordset_.Damage(); }

 private:
  source::Recordset recordset_;
};

}  // namespace

std::vector<ColumnDescription> CatalogSource::Columns(const std::string& table) {
  source::Columns columns = catalog_.Tables().Item(table).Columns();
  std::vector<ColumnDescription> result;
  for (long j = 0; j < columns.Count(); ++j) result.push_back(Describe(columns.Item(j)));
  return result;
}

long CatalogSource::IndexCount(const std::string& table) {
  return catalog_.Tables().Item(table).Indexes().Count();
}

IndexDescription CatalogSource::Index(const std::string& table, long index) {
  source::Index item = catalog_.Tables().Item(table).Indexes().Item(index);
  IndexDescription result{item.Name(), item.PrimaryKey(), item.Unique(), {}};
  source::Columns columns = item.Columns();
  for (long k = 0; k < columns.Count(); ++k) result.columns.push_back(columns.Item(k).Name());
  return result;
}

ColumnFlags CatalogSource::Flags(const std::string& table, const std::string& column) {
  const source::Properties& properties =
      catalog_.Tables().Item(table).Columns().Item(column).Properties();
  ColumnFlags flags;
  flags.nullable = properties.Item("Nullable").Value().ToBool();
  flags.autoIncrement = properties.Item("Autoincrement").Value().ToBool();
  // Properties a file may lack: looked up without raising.
  for (long i = 0; i < properties.Count(); ++i) {
    const source::Property& property = properties.Item(i);
    if (property.Name() == "Jet OLEDB:Hyperlink") flags.hyperlink = property.Value().ToBool();
    if (property.Name() == "TextFormat") flags.richText = IsOne(property.Value());
    if (property.Name() == "Expression") flags.expression = property.Value().ToText();
  }
  return flags;
}

std::unique_ptr<RowSource> CatalogSource::OpenRows(const std::string& table) {
  catalog_.Tables().Item(table);  // an unknown table fails here, as a lookup
  source::Recordset recordset;
  const std::string query = "SELECT * FROM [" + table + "]";
  if (connectionText_.empty()) {
    recordset.Open(query, catalog_);
  } else {
    recordset.Open(query, connectionText_);
  }
  return std::make_unique<RecordsetRows>(std::move(recordset));
}

std::vector<std::string> CatalogSource::ChildTables(const std::string& table) {
  std::vector<std::string> names;
  source::Tables tables = catalog_.Tables();
  for (long i = 0; i < tables.Count(); ++i) {
    source::Table child = tables.Item(i);
    if (child.Type() != "CHILD TABLE") continue;
    if (child.Properties().Item("ParentTable").Value().ToText() == table) {
      names.push_back(child.Name());
    }
  }
  return names;
}

std::vector<std::string> CatalogSource::TableDamage(const std::string& table) {
  return catalog_.Tables().Item(table).Damage();
}

long CatalogSource::StoredRowCount(const std::string& table) {
  return catalog_.Tables().Item(table).StoredRowCount();
}

std::vector<std::string> CatalogSource::FileDamage() { return catalog_.Damage(); }

// Defaults, validation rules and descriptions (DEFAULT, CHECK and COMMENT).
ColumnRules CatalogSource::Rules(const std::string& table, const std::string& column) {
  source::Column item = catalog_.Tables().Item(table).Columns().Item(column);
  return {item.DefaultValue(), item.ValidationRule(), item.ValidationText(), item.Description()};
}

TableRules CatalogSource::Rules(const std::string& table) {
  source::Table item = catalog_.Tables().Item(table);
  return {item.ValidationRule(), item.ValidationText(), item.Description()};
}

}  // namespace bracken::engine
