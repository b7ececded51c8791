#pragma once

// MSysQueries, the system table of the file's saved queries: each query is a
// run of rows sharing the query object's id (ObjectId). A row's Attribute
// says what it describes (the query's kind, a parameter, a table, an output
// column, a join, the WHERE, GROUP BY, HAVING or ORDER BY parts, ...); Order
// places rows of one attribute; Name1, Name2, Expression and Flag hold what
// the attribute needs.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "source/jet/format.h"
#include "source/jet/page_file.h"
#include "source/jet/table_definition.h"

namespace bracken::source::jet {

// The attributes of a row of MSysQueries.
enum class QueryAttribute : uint8_t {
  Start = 0,
  Kind = 1,
  Parameter = 2,
  Options = 3,
  SourceDatabase = 4,
  Table = 5,
  Column = 6,
  Join = 7,
  Where = 8,
  GroupBy = 9,
  Having = 10,
  OrderBy = 11,
  End = 255,
};

struct QueryRow {
  int32_t objectId = 0;
  uint8_t attribute = 0;
  std::string order;  // the stored bytes; rows of one attribute sort by them
  std::string name1;
  std::string name2;
  std::string expression;
  std::optional<int32_t> flag;  // empty where the row keeps none
};

// A row that cannot be read, of the query whose id it holds.
struct QueryRowDamage {
  int32_t objectId = 0;
  std::string reason;
};

// The rows of MSysQueries in the order they are stored. A row whose values
// cannot be read is left out with a note naming why: in `damage` for a row
// whose query is known (by its id), in `unplaced` for one whose id cannot be
// read. A definition that lacks the table's columns, or rows the scan cannot
// reach (which leaves no query known whole), raise a source error.
std::vector<QueryRow> ReadQueryRows(const std::shared_ptr<const PageFile>& file,
                                    const Format& format, uint16_t codePage,
                                    const std::shared_ptr<const TableDefinition>& table,
                                    std::vector<QueryRowDamage>& damage,
                                    std::vector<std::string>& unplaced);

}  // namespace bracken::source::jet
