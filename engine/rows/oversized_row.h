#pragma once

// A row whose INSERT text would exceed the server's statement limit: its
// longest text and byte values are sent apart from the statement, each of
// which the server takes up to the same limit. A value beyond that cannot
// reach the server at all: its row is refused with a message that names the
// value's size, the limit and how to raise it.

#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/rows/row_copy.h"

namespace bracken::engine {

// The longest INSERT text the row copy sends whole.
std::size_t MaxRowStatementBytes(const StatementExecutor& server);

struct OversizedRow {
  ConversionOwner& owner;
  ConversionContext& context;
  RowSource& rows;  // positioned on the row
  const std::vector<FieldPlan>& plan;
  const std::string& table;
  long number;  // the row's number, from 1
  // Set when the row was refused here, before the server saw it (the
  // message is shown and reported).
  bool refusedHere = false;

  // `statement` is the row's whole INSERT text; starts[i] is where field
  // i's literal begins in it, starts[fields] one past the last one's comma.
  bool Send(const std::string& statement, const std::vector<std::size_t>& starts);

 private:
  bool Refuse(const std::string& why);
};

}  // namespace bracken::engine
