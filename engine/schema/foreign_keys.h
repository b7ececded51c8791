#pragma once

// The file's relationships as InnoDB foreign keys. Before the tables are
// planned, the text columns on both sides of a relationship are made to agree
// on their character set (utf8mb4 for all when one of them holds characters
// above U+FFFF), since the server joins only columns that compare alike.
// After every table's rows have arrived, each enforced relationship becomes
// an ALTER TABLE ... ADD CONSTRAINT ... FOREIGN KEY, so the order of the
// tables never matters; what cannot become one is named in the report.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "source/source_access.h"

namespace bracken::engine {

// The table options after a CREATE TABLE's column list for the engine,
// before the character set: "ENGINE=myisam" or "ENGINE=InnoDB
// ROW_FORMAT=DYNAMIC" (the row format whose limits the plan follows).
std::string EngineOption(TableEngine engine);

// "MyISAM" or "InnoDB" in any case; nothing for another word.
std::optional<TableEngine> ParseTableEngine(const std::string& text);

// Whether `relationship` asks for a key: enforced, made in this file, with a
// column on each side for every column of the other.
bool AsksForKey(const source::Relationship& relationship);

// Whether `columns` of `table` carry a primary or unique index in the file:
// Access enforces a relationship only onto one, and the plan keeps it as a
// key the foreign key can refer to.
bool HasUniqueKey(ConversionSource& source, const std::string& table,
                  const std::vector<std::string>& columns);

// With InnoDB, fills context.extendedRelationshipColumns for the enforced
// relationships between the tables of `selected`: reads the text columns of
// those relationships once and marks every column joined to one that holds a
// character above U+FFFF. A source error leaves the columns as they are (the
// table's own steps report it).
void PlanRelationshipCharacters(ConversionContext& context,
                                const std::vector<std::string>& selected);

// The clauses after "ADD CONSTRAINT `name` " for a relationship between the
// MySQL names given: "FOREIGN KEY (`a`) REFERENCES `T` (`b`)" and its ON
// DELETE / ON UPDATE rules from the relationship's flags.
std::string ForeignKeyClause(const source::Relationship& relationship, const TablePlan& child,
                             const TablePlan& parent);

// The statement counting the rows of `child` whose key columns are all
// non-null and name no row of `parent`: a derived table for CountRows.
std::string OrphanRowsTable(const source::Relationship& relationship, const TablePlan& child,
                            const TablePlan& parent);

// After the rows of every table: adds a foreign key for each enforced
// relationship between converted tables (InnoDB only) and reports each
// relationship that gets none, once. An enforced relationship that InnoDB
// could hold and does not (rows without a parent, no unique key to refer to,
// refused by the server) counts in summary.relationshipsNotCreated; one not
// enforced in Access, one whose other table was not converted and, with
// MyISAM, every one are named without counting.
// With `only`, the relationships it turns down are passed over unsaid (sync
// adds the keys that are missing).
void AddForeignKeys(ConversionOwner& owner, ConversionContext& context,
                    const std::function<bool(const source::Relationship&)>& only = {});

}  // namespace bracken::engine
