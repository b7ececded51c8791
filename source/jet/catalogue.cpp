#include "source/jet/catalogue.h"

#include "source/jet/row_layout.h"
#include "source/jet/row_scanner.h"
#include "source/jet/system_table_fields.h"
#include "source/jet/table_definition.h"
#include "source/jet/value_decoding.h"

namespace bracken::source::jet {

namespace {

constexpr size_t kMaxObjects = 1'000'000;

struct CatalogueColumns {
  int id, parentId, name, kind, flags, properties;
};

CatalogueColumns LocateColumns(const TableDefinition& table) {
  CatalogueColumns c{FindColumn(table, "Id"),    FindColumn(table, "ParentId"),
                     FindColumn(table, "Name"),  FindColumn(table, "Type"),
                     FindColumn(table, "Flags"), FindColumn(table, "LvProp")};
  if (c.id < 0 || c.name < 0 || c.kind < 0 || c.flags < 0) {
    ThrowDamaged("the system catalogue lacks its columns");
  }
  return c;
}

int64_t IntegerOf(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return value.ToInt64();
    case Variant::Kind::Null:
      return 0;
    default:
      ThrowDamaged("a catalogue column has an unexpected type");
  }
}

}  // namespace

std::vector<CatalogueObject> ReadCatalogue(std::shared_ptr<const PageFile> file,
                                           const Format& format, uint16_t codePage,
                                           std::vector<std::string>& damage) {
  std::shared_ptr<const TableDefinition> table;
  try {
    table = ReadTableDefinition(*file, format, codePage, kCataloguePage);
  } catch (const SourceError& error) {
    ThrowDamaged("the system catalogue cannot be read (" + DamageReason(error) + ")");
  }
  CatalogueColumns columns = LocateColumns(*table);
  ValueContext context{file.get(), format, codePage};
  RowScanner scanner(file, format, table);
  RowLayout layout;
  std::vector<FieldSlice> slices;
  std::vector<CatalogueObject> objects;
  uint32_t rowsFound = 0;
  while (scanner.Next()) {
    if (objects.size() >= kMaxObjects) ThrowDamaged("the catalogue holds too many objects");
    ++rowsFound;
    Bytes row = scanner.Row();
    CatalogueObject object;
    try {
      layout.Parse(row, *table, format, slices);
      object.id =
          static_cast<int32_t>(IntegerOf(ReadField(*table, columns.id, row, slices, context)));
      object.parentId = static_cast<int32_t>(
          IntegerOf(ReadField(*table, columns.parentId, row, slices, context)));
      object.name = ReadField(*table, columns.name, row, slices, context).Bytes();
      object.kind =
          static_cast<int16_t>(IntegerOf(ReadField(*table, columns.kind, row, slices, context)));
      object.flags =
          static_cast<uint32_t>(IntegerOf(ReadField(*table, columns.flags, row, slices, context)));
    } catch (const SourceError& error) {
      scanner.LeaveOut(error);
      continue;
    }
    // The properties are the object's own: without them it is still there.
    try {
      object.properties = ReadField(*table, columns.properties, row, slices, context).Bytes();
    } catch (const SourceError& error) {
      object.propertiesDamage = DamageReason(error);
    }
    objects.push_back(std::move(object));
  }
  if (objects.empty()) ThrowDamaged("the system catalogue holds no object that can be read");
  for (const std::string& note : scanner.Damage()) {
    damage.push_back("The catalogue of the file's objects is damaged: " + note +
                     "; the tables, queries and links they describe are missing.");
  }
  if (rowsFound < table->rowCount) {
    damage.push_back("The catalogue of the file's objects counts " +
                     std::to_string(table->rowCount) + " objects, but only " +
                     std::to_string(rowsFound) +
                     " could be found; the tables, queries and links among the others are "
                     "missing.");
  }
  return objects;
}

}  // namespace bracken::source::jet
