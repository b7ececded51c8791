#pragma once

// An opened Jet database: its pages, header facts and catalogue.

#include <memory>
#include <string>
#include <vector>

#include "source/jet/catalogue.h"
#include "source/jet/complex_columns.h"
#include "source/jet/header.h"
#include "source/jet/page_file.h"

namespace bracken::source::jet {

struct Database {
  std::shared_ptr<PageFile> file;
  Header header;
  std::vector<CatalogueObject> objects;
  std::vector<ComplexColumnEntry> complexColumns;
  // What of the catalogue could not be read, whole sentences.
  std::vector<std::string> damage;
};

// Opens the file, checks the password and reads the catalogue.
std::shared_ptr<Database> OpenDatabase(std::shared_ptr<PageFile> file, const std::string& password);

}  // namespace bracken::source::jet
