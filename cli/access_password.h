#pragma once

// The Access file's password: --mdb-password P, else the environment
// variable BRACKEN_MDB_PASSWORD, else none; a file that needs one when none
// was given is asked for on the terminal, without echo.

#include <optional>
#include <string>
#include <vector>

#include "source/source_access.h"

namespace bracken::cli {

inline constexpr const char* kAccessPasswordVariable = "BRACKEN_MDB_PASSWORD";

// The password the option or the environment gives, if any.
std::optional<std::string> GivenAccessPassword(const std::optional<std::string>& option);

// Opens `file` into `catalog` and returns the connection text that opened
// it. Throws source::SourceError as Catalog::SetActiveConnection does.
std::string OpenAccessFile(source::Catalog& catalog, const std::string& file,
                           const std::optional<std::string>& givenPassword);

// An Access file opened for a command, with its tables and which of them
// the command works on.
struct ChosenTables {
  source::Catalog catalog;
  std::string connectionText;
  std::vector<std::string> names;  // the file's tables, in catalogue order
  std::vector<bool> checked;       // all of them when none was asked for
};

// Opens `file` and marks the `wanted` tables. On failure the message is
// printed (as `command` names itself) and the exit status returned: 3 for a
// file that will not open, 2 for a table the file does not hold.
std::optional<int> OpenAndChoose(const std::string& command, const std::string& file,
                                 const std::optional<std::string>& givenPassword,
                                 const std::vector<std::string>& wanted, ChosenTables& chosen);

}  // namespace bracken::cli
