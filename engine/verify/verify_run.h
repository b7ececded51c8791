#pragma once

// Verify over the chosen tables of an Access file: each table planned as the
// conversion plans it (names, types, keys), then compared with what the
// server holds in the converted database.

#include <functional>
#include <string>
#include <vector>

#include "engine/conversion_source.h"
#include "engine/verify/schema_verify.h"
#include "engine/verify/table_verify.h"

namespace bracken::target {
class MySqlConnection;
}

namespace bracken::engine {

// A saved query of the file against what the server holds: its view runs
// or its procedure is there, or it is one the conversion names as not
// converted (translation refused), which is no difference.
struct QueryVerdict {
  std::string query;  // the Access name
  std::string line;   // "Query [Q]: view [q] runs", ...
  bool difference = false;
};

struct VerifySummary {
  std::vector<TableVerdict> tables;
  // What of the file's catalogue cannot be read: tables it no longer lists
  // cannot be compared, so the copy is not proven whole.
  std::vector<std::string> fileDamage;
  // The schema section: a verdict per table the server holds, shown only
  // when the file gives some table a default, rule, description or
  // relationship (`schemaShown`).
  std::vector<SchemaVerdict> schema;
  bool schemaShown = false;
  // The queries section: one verdict per saved query of the file; none when
  // the file has none or queries are not checked.
  std::vector<QueryVerdict> queries;

  int Identical() const;
  int SchemaAsPlanned() const;
  int QueriesAsConverted() const;
  bool AllIdentical() const {
    return fileDamage.empty() && Identical() == static_cast<int>(tables.size()) &&
           (!schemaShown || SchemaAsPlanned() == static_cast<int>(schema.size())) &&
           QueriesAsConverted() == static_cast<int>(queries.size());
  }
};

// The lines that name the file's own damage before the tables' verdicts:
// "The file: <sentence>".
std::vector<std::string> FileDamageLines(ConversionSource& source);

// What the conversion was asked to carry besides tables and rows: with
// `rules` off (convert --no-rules) the copy has no defaults, CHECK
// constraints or comments, and verify expects none; with `queries` off
// (--no-queries) the saved queries are not checked.
// `oleObjects` Files (convert --ole-objects files): OLE Object columns hold
// the files taken out of their values, with their name and type beside them.
struct VerifyChoices {
  bool rules = true;
  bool queries = true;
  OleObjects oleObjects = OleObjects::Raw;
};

// `tables` in the order the conversion took them, so that the names given
// out to them are the conversion's; the child tables of a table's
// attachment and multi-value columns are verified after it. `connection` is verify's own; the
// session's sort length and write timeout are raised on it. `onTable` sees
// each verdict as soon as it is known; the schema section follows once all
// tables are verified (the foreign keys need every table's plan), then,
// with `choices.queries`, the queries section: each query translated as the
// conversion translates it, against the tables verified.
VerifySummary VerifyTables(ConversionSource& source, const std::vector<std::string>& tables,
                           target::MySqlConnection& connection, const std::string& database,
                           const std::function<void(const TableVerdict&)>& onTable = {},
                           const VerifyChoices& choices = {});

// "D: 3 tables verified, 2 identical, 1 with differences", with the schema
// section "; schema: 2 of 3 tables as planned", with the queries section
// "; queries: 4 of 5 as converted", and where the file's
// catalogue is damaged, "; the file's catalogue is damaged".
std::string VerifySummaryLine(const std::string& database, const VerifySummary& summary);

// The schema section's lines, one per table; none when it is not shown.
std::vector<std::string> SchemaLines(const VerifySummary& summary);

// The queries section's lines, one per query.
std::vector<std::string> QueryLines(const VerifySummary& summary);

}  // namespace bracken::engine
