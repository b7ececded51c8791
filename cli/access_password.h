#pragma once

// The Access file's password: --mdb-password P, else the environment
// variable BRACKEN_MDB_PASSWORD, else none; a file that needs one when none
// was given is asked for on the terminal, without echo.

#include <optional>
#include <string>

#include "source/source_access.h"

namespace bracken::cli {

inline constexpr const char* kAccessPasswordVariable = "BRACKEN_MDB_PASSWORD";

// The password the option or the environment gives, if any.
std::optional<std::string> GivenAccessPassword(const std::optional<std::string>& option);

// Opens `file` into `catalog` and returns the connection text that opened
// it. Throws source::SourceError as Catalog::SetActiveConnection does.
std::string OpenAccessFile(source::Catalog& catalog, const std::string& file,
                           const std::optional<std::string>& givenPassword);

}  // namespace bracken::cli
