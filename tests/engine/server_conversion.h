#pragma once

// Runs a whole conversion of the given tables into a database of the test
// server, answering Yes to the overwrite question.

#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_source.h"
#include "tests/support/test_server.h"

namespace bracken::engine {

struct ServerConversion {
  ConversionSummary summary;
  std::vector<std::string> messages;
};

ServerConversion ConvertAll(const testing::TestServer& server, ConversionSource& source,
                            const std::vector<std::string>& tables, const std::string& database);

}  // namespace bracken::engine
