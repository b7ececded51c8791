#pragma once

// Verify as both commands run it: `verify` on its own and `convert --verify`
// after the conversion. Each table's lines are printed as its verdict is
// known.

#include <ostream>
#include <string>
#include <vector>

#include "engine/conversion_source.h"
#include "engine/verify/verify_run.h"

namespace bracken::target {
class MySqlConnection;
}

namespace bracken::cli {

engine::VerifySummary VerifyAndPrint(engine::ConversionSource& source,
                                     const std::vector<std::string>& tables,
                                     target::MySqlConnection& connection,
                                     const std::string& database, std::ostream& out,
                                     const engine::VerifyChoices& choices = {});

// The checked names of `names`, in order.
std::vector<std::string> CheckedTables(const std::vector<std::string>& names,
                                       const std::vector<bool>& checked);

// ", verified: k of n tables identical" for the summary line of a convert
// run with --verify, ", j of m as planned" with the schema section and
// ", q of r queries as converted" with the queries section.
std::string VerifyNote(const engine::VerifySummary& summary);

}  // namespace bracken::cli
