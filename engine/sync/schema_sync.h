#pragma once

// Sync of what convert makes besides the rows: each table's defaults,
// comments and CHECK constraints (its validation rules), the foreign keys of
// the file's relationships, and the views and procedures of its saved
// queries. What differs is found as verify finds it (engine/verify) and made
// by the conversion's own builders, so a copy in step gets no statement.
//
// A column whose default, comment, nullability or character set differs is
// modified whole from its planned definition; a CHECK constraint missing in
// MySQL is added (verify counts it missing only when no row breaks it) and
// one the file no longer asks for is dropped; a foreign key no relationship
// asks for is dropped before the missing ones are added, all after every
// table's rows. A saved query whose view or procedure is missing, no longer
// runs or reads differently from its translation is made again; the object
// of a query no longer in the file is left alone.

#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

namespace bracken::target {
class MySqlConnection;
}

namespace bracken::engine {

// What a step brought (or, with a dry run, would bring) in line, and what
// it could not.
struct SchemaSync {
  std::vector<std::string> changes;   // "the default of column [Qty]"
  std::vector<std::string> problems;  // "the CHECK constraint X could not be added: ..."
};

// The table's own parts. `context` holds the table's plan and key state (as
// the conversion leaves them before CREATE TABLE); statements go through
// context.executor on `connection`, the database in use.
SchemaSync SyncTableSchema(ConversionOwner& owner, ConversionContext& context,
                           const std::string& table, target::MySqlConnection& connection,
                           const std::string& database, bool dryRun);

// The foreign keys between the tables of context.convertedTables (InnoDB
// tables only hold them), after every table's rows.
SchemaSync SyncForeignKeys(ConversionOwner& owner, ConversionContext& context,
                           target::MySqlConnection& connection, const std::string& database,
                           bool dryRun);

// The saved queries, against the tables of context.convertedTables; nothing
// with context.carryQueries off.
SchemaSync SyncQueryObjects(ConversionOwner& owner, ConversionContext& context,
                            target::MySqlConnection& connection, const std::string& database,
                            bool dryRun);

// The server's text of a view (information_schema.VIEWS) and the body the
// conversion would create it with, brought to one spelling: the database's
// name before a table's, quotes, spaces and letter case (outside string
// literals) set aside. Two texts that read alike compare equal.
std::string ComparableViewText(const std::string& text, const std::string& database);

}  // namespace bracken::engine
