#pragma once

// Copies the rows of one table, one INSERT per row, from the rows that
// BuildColumnDefinitions opened into the table the run has just created.

#include <string>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

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
};

CopyOutcome CopyTableRows(ConversionOwner& owner, ConversionContext& context,
                          const std::string& tableName);

// What stays the same for every row of a table's field.
struct FieldPlan {
  std::string name;      // the source column's name
  std::string typeName;  // MapColumnType of the field
  bool binary = false;
  bool dateTime = false;
  bool real = false;           // Single or Double
  bool nullStaysNull = false;  // a text column of a UNIQUE key
  bool longValue = false;      // text or bytes, which may be sent apart from the statement
  bool hyperlink = false;
  bool richText = false;
};

// The value text of one non-null field: "0x" and two lowercase hex digits
// per byte for binary types, else the value's text, a hyperlink reduced to
// its display text or address, a rich-text memo freed of its paragraph
// markup. Appended to `out`.
void AppendValueText(std::string& out, const source::Variant& value, const FieldPlan& field);

// "Converting Table: [T] n rows converted..." with every backtick of the
// quoted name removed.
std::string ProgressCaption(const std::string& tableName, long rows);

}  // namespace bracken::engine
