#include "source/jet/database.h"

namespace bracken::source::jet {

std::shared_ptr<Database> OpenDatabase(std::shared_ptr<PageFile> file,
                                       const std::string& password) {
  auto database = std::make_shared<Database>();
  database->header = ReadHeader(*file);
  CheckPassword(database->header, password, *file);
  database->file = std::move(file);
  database->objects =
      ReadCatalogue(database->file, database->header.format, database->header.codePage);
  if (database->header.format.ace) {
    database->complexColumns = ReadComplexColumns(database->file, database->header.format,
                                                  database->header.codePage, database->objects);
  }
  return database;
}

}  // namespace bracken::source::jet
