#pragma once

// The system catalogue: the definitions of MSysObjects and the other system
// tables Access always has, the catalogue's rows (containers, system tables,
// user tables) and each user table's property blob.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/fixture_writer.h"
#include "tests/support/jet_writer_format.h"

namespace bracken::testing::jet {

// MSysObjects first (its definition is always on page 2), then the others;
// all without rows.
std::vector<FixtureTable> SystemTables();

struct CatalogueEntry {
  std::string name;
  uint32_t definitionPage = 0;
  bool system = false;
  std::string properties;  // the LvProp blob; empty for none
};

// The rows of MSysObjects for these tables and saved queries.
std::vector<std::vector<FixtureValue>> CatalogueRows(const std::vector<CatalogueEntry>& tables,
                                                     const std::vector<FixtureQuery>& queries,
                                                     double creationDate,
                                                     const WriterFormat& format);

// The property blob of a table: Required for every column, DefaultValue,
// ValidationRule, ValidationText, Description, AllowZeroLength and TextFormat
// where given; the table's own ValidationRule, ValidationText and Description.
std::string TableProperties(const FixtureTable& table, const WriterFormat& format);

// The rows of MSysRelationships (in the column order SystemTables() gives
// it): one per pair of columns of each relationship.
std::vector<std::vector<FixtureValue>> RelationshipRows(
    const std::vector<FixtureRelationship>& relationships);

// The rows of MSysQueries (in the column order SystemTables() gives it) for
// these queries, whose objects CatalogueRows() numbers the same way.
std::vector<std::vector<FixtureValue>> QueryRows(const std::vector<FixtureQuery>& queries);

}  // namespace bracken::testing::jet
