#pragma once

// A file from the fixture writer opened from memory, and every row of one of
// its tables as the reader gives them.

#include <string>
#include <vector>

#include "source/source_access.h"
#include "tests/support/fixture_writer.h"

namespace bracken::testing {

source::Catalog OpenWritten(const FixtureDatabase& database, bool jet3 = false,
                            const std::string& password = {});
// A file holding this one table.
source::Catalog OpenWritten(const FixtureTable& table, bool jet3);

std::vector<std::vector<source::Variant>> ReadAllRows(const source::Catalog& catalog,
                                                      const std::string& table);

}  // namespace bracken::testing
