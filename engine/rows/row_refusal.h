#pragma once

// What a failed INSERT of one row means for the copy: a refusal is shown
// and reported, and the copy goes on; a lost connection, a vanished table
// or a stop during a lock wait ends it.

#include <string>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

namespace bracken::engine {

enum class RowResult { Sent, Refused, TableGone, ConnectionLost, Stopped };

// True for the server's errors that mean the table the rows go to is gone.
bool TableGoneError(unsigned int error);

// After the executor failed a statement: Stopped, ConnectionLost or
// TableGone when the copy must end (nothing is shown), else Refused, with
// the refusal of row `number` of `table` counted, reported and shown.
RowResult AfterRowFailure(ConversionOwner& owner, ConversionContext& context,
                          const std::string& table, long number);

}  // namespace bracken::engine
