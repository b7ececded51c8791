#pragma once

// Everything one conversion shares between its steps: where statements go,
// where rows come from, the stop flag the window sets, the key state of the
// current table and the tally the run reports at its end.

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/conversion_source.h"
#include "engine/statement_executor.h"

namespace bracken::engine {

// What the key clauses leave for the column definitions of the same table.
struct KeyState {
  std::string keyText;
  bool primaryKeyEmitted = false;
  // The first column of the PRIMARY KEY clause when that clause stands first:
  // the only column that may be AUTO_INCREMENT.
  std::optional<std::string> leadingPrimaryKeyColumn;
  // Columns of the table's primary key, written NOT NULL whatever the file
  // says (Access never stores a null there, and MySQL refuses the key).
  std::vector<std::string> primaryKeyColumns;
  // Columns of UNIQUE keys. Access lets such a key hold many nulls; a null
  // text there is sent as NULL, not as '', or the rows after the first would
  // be refused as duplicates.
  std::vector<std::string> uniqueKeyColumns;

  void Clear() { *this = KeyState{}; }
};

enum class RunEnding {
  NoTableChecked,
  NameEmpty,
  NameTooLong,
  OverwriteDeclined,
  DatabaseRefused,
  Completed,
  Stopped,
  TableFailed,
};

struct ConversionSummary {
  RunEnding ending = RunEnding::NoTableChecked;
  int tablesChecked = 0;
  int tablesConverted = 0;
  int tablesSkipped = 0;     // column definitions empty (locked or unreadable)
  int tablesIncomplete = 0;  // rows cut short by a source error
  long rowsSent = 0;
  long rowsRefused = 0;
};

struct ConversionContext {
  ConversionContext(StatementExecutor& executor, ConversionSource& source)
      : executor(executor), source(source) {}

  StatementExecutor& executor;
  ConversionSource& source;
  // Set by STOP on the interface thread; cleared when a table's rows start.
  std::atomic<bool> stopRequested{false};
  KeyState keyState;
  // The open rows of the current table; replaced per table.
  std::unique_ptr<RowSource> recordset;
  ConversionSummary summary;
};

}  // namespace bracken::engine
