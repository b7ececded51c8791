#pragma once

// The rows of one table sent by one LOAD DATA LOCAL INFILE, made from the
// source while the server reads them, with the same outcome as the batched
// INSERTs (row_batch.h) and so as one INSERT per row.
//
// The client library asks for the "file" piece by piece; each piece is made
// of the rows read then, so the server stores one piece while the next is
// read, and memory holds a piece, never the table. A row counts as sent
// once it is made into the stream. When the program ends at once
// (ConversionContext::endingAtOnce) the stream is broken off before the
// next piece goes.
//
// LOCAL makes the server skip a duplicate and cut or replace a value it
// cannot store, with a warning, where an INSERT in strict mode refuses the
// row. So the LOAD counts only when the server stored every row sent
// without a warning. Otherwise it is undone, which is exact and cheap as
// the table was empty before it (InnoDB: the LOAD is one transaction,
// rolled back; MyISAM: TRUNCATE TABLE, and its keys disabled again), and
// the batched INSERTs copy the table again from its first row, refusing
// and reporting each row as they always do. The value changes (NaN stored
// as NULL, ...) and the rows that cannot be read are told only once the
// LOAD counts, in the order of the rows, so nothing is told twice.
//
// Where the run bounds its write sets (a cluster node: RowBatching's
// writeSetRows and writeSetBytes), the rows go in chunks, one LOAD and (InnoDB)
// one transaction each, every chunk held to the same test; a chunk not
// stored as sent empties the whole table (rolled back, then truncated) before
// the INSERTs copy it again.
//
// A server that does not take LOCAL (local_infile=OFF, MySQL 8's default)
// gets the batched INSERTs from then on: the run's LOAD choice is cleared
// with one notice line.

#include <optional>
#include <string>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/rows/row_copy.h"

namespace bracken::engine {

// Loads the rows of context.recordset, on its first row, into the table
// `quotedTarget` the run has just created empty. The copy's outcome when
// it is over (the rows stored and told, or the copy ended); nothing when
// the table is empty again and its rows must go by the batched INSERTs,
// context.recordset then on the first row again.
std::optional<CopyOutcome> LoadTableRows(ConversionOwner& owner, ConversionContext& context,
                                         const std::string& tableName,
                                         const std::string& quotedTarget);

}  // namespace bracken::engine
