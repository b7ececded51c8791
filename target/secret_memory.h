#pragma once

// Passwords in the process's memory: kept out of core files and out of the
// reach of other processes of the same user, and wiped once they have done
// their work, so that a crash or a debugger finds as few copies as we can
// help (libmariadb and Qt keep copies of their own).

#include <optional>
#include <string>

namespace bracken::target {

// Makes the process non-dumpable (PR_SET_DUMPABLE 0): no core file is
// written when it crashes, and other processes of the user can neither
// attach to it nor read its memory or environment. Called first thing by
// both programs.
void KeepSecretsOutOfCoreDumps();

// Overwrites every byte the string holds (up to its capacity) with zeros,
// in a way the compiler does not leave out, and leaves it empty.
void WipeSecret(std::string& secret);
void WipeSecret(std::optional<std::string>& secret);

}  // namespace bracken::target
