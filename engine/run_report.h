#pragma once

// The run's report: lines about what did not arrive as Access held it, or
// arrived under another name or type, and the closing message of a run that
// lost something.

#include <string>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

namespace bracken::engine {

inline constexpr const char* kCompletedMessage =
    "Bracken database conversion completed successfully.";

// Sends one line to the owner and counts it.
void Report(ConversionOwner& owner, ConversionSummary& summary, const std::string& line);

// "[name]", the way the report names tables and columns.
std::string Bracketed(const std::string& name);

// The closing message of a run that lost something, counting what did not
// arrive, e.g. "Bracken database conversion ended, but not everything was
// converted: 2 rows refused, 1 value changed. Each is listed in the report."
std::string LossMessage(const ConversionSummary& summary);

// The rows a reading found against the count the table's definition keeps,
// worded to follow "Table [name]: ": "the file counts 105 rows, but 79 were
// found; the other 26 cannot be read", or for more rows than counted "the
// file counts 137 rows, but 147 were found". Empty when they agree or the
// count is unknown (negative).
std::string RowCountNote(long found, long stored);

}  // namespace bracken::engine
