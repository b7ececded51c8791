#pragma once

// Runs a whole conversion of the given tables into a database of the test
// server, answering Yes to the overwrite question. The file's saved queries
// are left out (as with --no-queries): tests of the tables compare tables,
// and tests of queries make the views they compare themselves.

#include <functional>
#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_source.h"
#include "tests/support/recording_owner.h"
#include "tests/support/test_server.h"

namespace bracken::engine {

struct ServerConversion {
  ConversionSummary summary;
  std::vector<std::string> messages;
  std::vector<std::string> reportLines;
  std::string reportMessage;  // empty when no report was shown
};

// `prepare`, when given, sees the owner before the run (to answer questions
// or act at a caption).
ServerConversion ConvertAll(const testing::TestServer& server, ConversionSource& source,
                            const std::vector<std::string>& tables, const std::string& database,
                            const std::function<void(testing::RecordingOwner&)>& prepare = {});

}  // namespace bracken::engine
