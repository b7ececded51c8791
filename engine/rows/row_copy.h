#pragma once

// Copies the rows of one table, one INSERT per row, from the rows that
// BuildColumnDefinitions opened into the table the run has just created.

#include <string>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/rows/target_value.h"

namespace bracken::engine {

enum class CopyResult {
  Finished,        // every row read and sent (refused rows were shown)
  SourceFailed,    // reading broke off; the error was shown
  ConnectionLost,  // the server went away; nothing was shown yet
  TableGone,       // another client dropped the table; nothing was shown yet
  Stopped,         // a row waiting for another client's lock was broken off by a stop
};

struct CopyOutcome {
  CopyResult result = CopyResult::Finished;
  std::string errorText;  // the server's text when the connection was lost
  long rowsRead = 0;      // rows the source gave, refused ones too (Finished, SourceFailed)
};

// The command line's batched copy sends the rows by one LOAD DATA LOCAL
// INFILE first when the run may (row_load.h), and by the batched INSERTs
// when the LOAD did not store them exactly.
CopyOutcome CopyTableRows(ConversionOwner& owner, ConversionContext& context,
                          const std::string& tableName);

// The copy's texts and steps that the LOAD of a table shares, so that both
// tell a row alike. Rows are numbered from 1.
// The report line of a value stored as NULL because MySQL cannot hold it
// (`value` is "NaN", "Infinity" or "-Infinity").
std::string NonFiniteChangeText(const std::string& table, long row, const FieldPlan& field,
                                const char* value);
// The refusal of a row left out because a value of it cannot be read or
// written as text.
std::string UnreadableRowText(const std::string& table, long row, const FieldPlan& field,
                              const source::SourceError& error);
// Counts, reports and shows that refusal.
void RefuseUnreadable(ConversionOwner& owner, ConversionContext& context, const std::string& text);
// Shows and reports that reading broke off with `error` while row
// `rowCount` was read (0 before the first); the copy's outcome.
CopyOutcome EndOfReading(ConversionOwner& owner, ConversionContext& context,
                         const std::string& table, long rowCount, const source::SourceError& error);

// "Converting Table: [T] n rows converted..." with every backtick of the
// quoted name removed.
std::string ProgressCaption(const std::string& tableName, long rows);

// The same captions for one table, its name written once: the copy shows one
// after every row.
class ProgressCaptions {
 public:
  explicit ProgressCaptions(const std::string& tableName);
  // The caption for `rows`, valid until the next call.
  const std::string& For(long rows);

 private:
  std::string head_;  // "Converting Table: [T] "
  std::string text_;
};

}  // namespace bracken::engine
