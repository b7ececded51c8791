#pragma once

// The property blob (LvProp) the catalogue keeps per object: a magic word,
// a block listing every property name, then one block per owner (the object
// itself, then each column by name) with entries naming a property by its
// place in that list, its type and its value.

#include <string>
#include <utility>
#include <vector>

#include "source/jet/bytes.h"
#include "source/jet/format.h"
#include "source/variant.h"

namespace bracken::source::jet {

struct PropertyBlock {
  std::string owner;  // "" or the object's own name for the object; a column name otherwise
  std::vector<std::pair<std::string, Variant>> values;
};

std::vector<PropertyBlock> ParseProperties(Bytes blob, const Format& format, uint16_t codePage);

}  // namespace bracken::source::jet
