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

CopyOutcome CopyTableRows(ConversionOwner& owner, ConversionContext& context,
                          const std::string& tableName);

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
