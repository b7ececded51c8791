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

  uint32_t DefinitionPage() const { return static_cast<uint32_t>(id) & 0x00FFFFFF; }
};

std::vector<CatalogueObject> ReadCatalogue(std::shared_ptr<const PageFile> file,
                                           const Format& format, uint16_t codePage);

}  // namespace bracken::source::jet
