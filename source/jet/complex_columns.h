#pragma once

// The complex columns of Access 2007 and later files (attachments,
// multi-value columns, the version history of append-only memos): each
// column's entry in MSysComplexColumns names the hidden flat table that holds
// its elements and the template table (MSysComplexType_*) that says what
// they are.

#include <cstdint>
#include <string>
#include <vector>

#include "source/jet/catalogue.h"
#include "source/jet/page_file.h"

namespace bracken::source::jet {

struct ComplexColumnEntry {
  int32_t complexId = 0;
  int32_t flatTableId = 0;   // catalogue id of the flat table
  int32_t typeObjectId = 0;  // catalogue id of the template table
};

// The entries of MSysComplexColumns; none when the catalogue has no such
// table (Jet 3 and Jet 4 files).
std::vector<ComplexColumnEntry> ReadComplexColumns(std::shared_ptr<const PageFile> file,
                                                   const Format& format, uint16_t codePage,
                                                   const std::vector<CatalogueObject>& objects);

}  // namespace bracken::source::jet
