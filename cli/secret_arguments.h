#pragma once

// Passwords given on the command line: replaced in the program's argument
// area at once by a mark of fixed length, so that neither `ps` nor
// /proc/PID/cmdline show them or their length. Until then, for a moment,
// they can be seen: the prompt or the environment keep them out
// of the process list altogether.

#include <string>
#include <vector>

namespace bracken::cli {

// What the process list shows in place of a password.
inline constexpr const char* kSecretMark = "***";

// Replaces the value of every --password=P, --mdb-password=P and
// --mdb-password P with kSecretMark. The arguments laid out as the kernel
// gives them to main() are written again as one text, "bracken-cli convert
// ... --password=*** ...", that the process list shows whatever the
// passwords' lengths; argv must have been copied before, as it holds only
// that text afterwards. True when any was found: the caller warns once.
bool BlankSecretArguments(int argc, char** argv);

// The warning for a password seen on the command line.
inline constexpr const char* kCommandLinePasswordWarning =
    "bracken-cli: Warning: a password on the command line can be seen by other users of this "
    "computer; use MYSQL_PWD, BRACKEN_MDB_PASSWORD or the prompt instead.\n";

// True when args[i] follows --password or --mdb-password (without '='): it
// may be a password and is never repeated in a message.
bool FollowsPasswordOption(const std::vector<std::string>& args, std::size_t i);

}  // namespace bracken::cli
