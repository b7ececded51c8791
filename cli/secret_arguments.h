#pragma once

// Passwords given on the command line: blanked in the program's argument
// vector at once, so `ps` and /proc/PID/cmdline no longer show them, as the
// mysql client does.

#include <string>
#include <vector>

namespace bracken::cli {

// Overwrites the value of every --password=P, --mdb-password=P and
// --mdb-password P in argv with 'x's (same length, so the vector keeps its
// shape). True when any was found: the caller warns once.
bool BlankSecretArguments(int argc, char** argv);

// The warning for a password seen on the command line.
inline constexpr const char* kCommandLinePasswordWarning =
    "bracken-cli: Warning: a password on the command line can be seen by other users of this "
    "computer; use MYSQL_PWD, BRACKEN_MDB_PASSWORD or the prompt instead.\n";

// True when args[i] follows --password or --mdb-password (without '='): it
// may be a password and is never repeated in a message.
bool FollowsPasswordOption(const std::vector<std::string>& args, std::size_t i);

}  // namespace bracken::cli
