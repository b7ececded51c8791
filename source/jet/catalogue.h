#pragma once

// The system catalogue, MSysObjects, whose definition always starts on page
// 2: one row per object with its id (for tables the first page of their
// definition), parent, name, kind, flags and property blob.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source/jet/format.h"
#include "source/jet/page_file.h"

namespace bracken::source::jet {

inline constexpr uint32_t kCataloguePage = 2;

enum class ObjectKind : int16_t {
  Table = 1,
  Query = 5,
  LinkedTable = 6,
  LinkedOdbcTable = 4,
};

inline constexpr uint32_t kSystemObjectFlags = 0x80000002u;

struct CatalogueObject {
  int32_t id = 0;
  int32_t parentId = 0;
  std::string name;
  int16_t kind = 0;
  uint32_t flags = 0;
  std::string properties;  // the raw LvProp blob
  // Why the blob could not be read; empty when it was (or there is none).
  std::string propertiesDamage;

  uint32_t DefinitionPage() const { return static_cast<uint32_t>(id) & 0x00FFFFFF; }
};

// Reads every object the catalogue's rows describe. A row that cannot be
// read is left out, and so is a page of them; `damage` gets one sentence for
// what was left out and one for rows the catalogue's own count misses. A
// catalogue whose definition cannot be read, or that yields no object at
// all, raises a source error: the file cannot be opened.
std::vector<CatalogueObject> ReadCatalogue(std::shared_ptr<const PageFile> file,
                                           const Format& format, uint16_t codePage,
                                           std::vector<std::string>& damage);

}  // namespace bracken::source::jet
