// The properties Access keeps in the catalogue, read back from a written
// file: Required, default values and descriptions of columns and tables.

#include <gtest/gtest.h>

#include "source/source_access.h"
#include "tests/support/fixture_writer.h"

namespace bracken::testing {
namespace {

using source::Catalog;

TEST(StoredProperties, ColumnAndTablePropertiesReadBack) {
  FixtureColumn id;
  id.name = "Id";
  id.autoNumber = true;
  FixtureColumn name;
  name.name = "Name";
  name.kind = ColumnKind::Text;
  name.required = true;
  name.defaultValue = "\"nobody\"";
  name.description = "Who it is";
  FixtureColumn note;
  note.name = "Note";
  note.kind = ColumnKind::Memo;
  FixtureTable table;
  table.name = "People";
  table.description = "Everyone we know";
  table.columns = {id, name, note};
  FixtureDatabase database;
  database.tables = {table};
  Catalog catalog;
  catalog.OpenBuffer(WriteJet4(database));

  source::Table people = catalog.Tables().Item("People");
  EXPECT_EQ(people.Properties().Item("Description").Value().ToText(), "Everyone we know");
  const source::Properties& nameProperties = people.Columns().Item("Name").Properties();
  EXPECT_FALSE(nameProperties.Item("Nullable").Value().ToBool());
  EXPECT_TRUE(nameProperties.Item("Required").Value().ToBool());
  EXPECT_EQ(nameProperties.Item("Default").Value().ToText(), "\"nobody\"");
  EXPECT_EQ(nameProperties.Item("Description").Value().ToText(), "Who it is");
  EXPECT_TRUE(people.Columns().Item("Note").Properties().Item("Nullable").Value().ToBool());
  const source::Properties& idProperties = people.Columns().Item("id").Properties();
  EXPECT_TRUE(idProperties.Item("Autoincrement").Value().ToBool());
  EXPECT_FALSE(idProperties.Item("Nullable").Value().ToBool());
  EXPECT_THROW(idProperties.Item("No such property"), source::SourceError);
  EXPECT_THROW(idProperties.Item(99), source::SourceError);
}

}  // namespace
}  // namespace bracken::testing
