#pragma once

// What the access objects share underneath their handles: the opened
// database and, per table, its columns, indexes and definition.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "source/jet/database.h"
#include "source/jet/table_definition.h"
#include "source/source_access.h"

namespace bracken::source {

// An attachment or multi-value column: the hidden flat table of its
// elements, the flat table's column holding the set number the parent row
// stores, and the columns that make up an element.
struct ComplexColumnData {
  std::shared_ptr<const jet::TableDefinition> flat;
  size_t setPosition = 0;
  std::vector<std::pair<std::string, size_t>> items;  // name, position in the flat table
  bool attachment = false;
};

struct ColumnData {
  std::string name;
  int32_t type = adEmpty;
  int32_t definedSize = 0;
  uint8_t precision = 0;
  uint8_t scale = 0;
  source::Properties properties;
  size_t position = 0;                               // index into the table definition's columns
  std::shared_ptr<const ComplexColumnData> complex;  // for types 101 to 109
  bool attachmentFile = false;  // an attachment's file bytes, kept in their stored form
};

struct IndexData {
  std::string name;
  bool primaryKey = false;
  bool unique = false;
  std::vector<Column> columns;
};

struct VersionHistoryData;

struct TableData {
  std::string name;
  std::string type;
  std::shared_ptr<const jet::TableDefinition> definition;  // null for queries and links
  std::vector<Column> columnsByName;
  std::vector<std::shared_ptr<const ColumnData>> columnsInOrder;
  std::vector<Index> indexes;
  source::Properties properties;
  // What of the definition could not be read; see Table::Damage.
  std::vector<std::string> damage;
  // A child table of an append-only memo's versions: what its rows are
  // joined from (source/version_history.h).
  std::shared_ptr<const VersionHistoryData> history;
};

struct DatabaseData {
  std::shared_ptr<jet::Database> database;
  std::vector<std::shared_ptr<const TableData>> tableData;  // in catalogue order
  std::vector<Table> tables;                                // the same, as handles
  // What of the catalogue could not be read; see Catalog::Damage.
  std::vector<std::string> damage;
  std::vector<Relationship> relationships;  // see Catalog::Relationships
  std::vector<Query> queries;               // see Catalog::Queries
};

// Opens the database the connection text names and reads its catalogue;
// with onlyTable, the model holds only the objects of that name.
// The child table of a complex column of a table, named "TABLE_COLUMN":
// the set number under the column's name, then the element's columns.
std::shared_ptr<TableData> MakeChildTable(const TableData& parent, const ColumnData& column);

// Fills a complex column's type code and flat table; false for a column
// that is not the user's (the version history of an append-only memo).
bool ResolveComplexColumn(const jet::Database& database, const jet::ColumnDefinition& column,
                          ColumnData& data);

std::shared_ptr<DatabaseData> OpenDatabaseData(const std::string& connectionText,
                                               const std::string* onlyTable = nullptr);
std::shared_ptr<DatabaseData> OpenDatabaseBuffer(std::string bytes, const std::string& password);

// Reads the saved queries of the file's catalogue into data.queries; what
// cannot be read goes to data.damage (see Catalog::Queries).
void ReadQueries(DatabaseData& data);

// Case-insensitive comparison of names, as the provider orders them.
bool NameLess(std::string_view a, std::string_view b);
bool NameEqual(std::string_view a, std::string_view b);

// The error for a collection item that does not exist.
[[noreturn]] void ThrowItemNotFound();

}  // namespace bracken::source
