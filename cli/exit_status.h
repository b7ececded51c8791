#pragma once

// The exit statuses every bracken-cli command shares, so a script can tell a
// complete conversion from a partial one, a mistyped command line, and a run
// that never wrote anything.

namespace bracken::cli {

inline constexpr int kExitSuccess = 0;
// The conversion ran, but not everything arrived: rows refused, tables
// skipped or cut short, parts of a damaged file unreadable, a table that
// failed, a stop asked with Ctrl-C, or an existing database dropped that the
// server then refused to create again. For inspect: something named as
// unreadable, or rows found that differ from a table's own count.
inline constexpr int kExitIncomplete = 1;
// The command line is wrong, names an unknown table, or leaves the password
// to a prompt when there is no terminal to ask on.
inline constexpr int kExitUsage = 2;
// Nothing was done: the server or the Access file could not be opened or
// read, or the conversion ended before its first table (no tables, a name
// too long, the overwrite declined, the database refused by the server), or
// MyISAM asked for on a cluster node.
inline constexpr int kExitFailed = 3;

// The lines of the usage text that describe them.
inline constexpr const char* kExitStatusHelp =
    "Exit status:\n"
    "  0  success: every table converted and every row accepted\n"
    "  1  the conversion ran but is incomplete: rows refused, tables skipped or\n"
    "     cut short, parts of a damaged file unreadable, a table failed, an existing\n"
    "     database dropped that the server would not create again, or stopped with\n"
    "     Ctrl-C or SIGTERM (inspect: damage or a differing row count named)\n"
    "  2  usage error: bad options, an unknown table, or no password and no terminal\n"
    "  3  nothing done: the server or the Access file could not be opened or read,\n"
    "     or the conversion ended before its first table\n";

}  // namespace bracken::cli
