#include "source/jet/database.h"

#include "source/source_error.h"

namespace bracken::source::jet {

std::shared_ptr<Database> OpenDatabase(std::shared_ptr<PageFile> file,
                                       const std::string& password) {
  auto database = std::make_shared<Database>();
  database->header = ReadHeader(*file);
  CheckPassword(database->header, password, *file);
  database->file = std::move(file);
  database->objects = ReadCatalogue(database->file, database->header.format,
                                    database->header.codePage, database->damage);
  if (database->header.format.ace) {
    try {
      database->complexColumns = ReadComplexColumns(database->file, database->header.format,
                                                    database->header.codePage, database->objects);
    } catch (const SourceError& error) {
      // Each table with such a column then names its own definition unreadable.
      database->damage.push_back(
          "The list of attachment and multi-value columns (MSysComplexColumns) cannot be read (" +
          DamageReason(error) + "); the tables that have such columns cannot be read.");
    }
  }
  return database;
}

}  // namespace bracken::source::jet
