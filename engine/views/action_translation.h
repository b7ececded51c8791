#pragma once

// An action query (append, update, delete, make-table) written as the body
// of a stored procedure that does what the query does when it is called;
// nothing of it runs while the file is converted. The query's parameters
// become the procedure's IN parameters.
//
// - append: INSERT INTO target (columns) SELECT ...; a query that names no
//   target columns (INSERT INTO t SELECT s.*) writes each column into the
//   target's column of the same name, as Access does.
// - update: UPDATE with the query's joins, SET and WHERE. The server reads
//   a column set earlier in the same SET list at its new value, Access at
//   its old one: such a query is refused.
// - delete: DELETE of the rows of the one table the query names
//   (DELETE Orders.* FROM Orders INNER JOIN ...), with its joins and WHERE.
// - make-table: the target is dropped if it exists and made afresh from the
//   SELECT (Access replaces it too, after asking). A query that reads its
//   own target is refused.
// A target in another database (INSERT INTO t IN 'other.mdb') is refused.

#include "engine/views/query_translation.h"

namespace bracken::engine {

// `query` (append, update, delete or make-table) for `server`.
QueryTranslation TranslateAction(const source::QueryDefinition& query, const QueryCatalog& known,
                                 const expression::ServerDialect& server);

}  // namespace bracken::engine
