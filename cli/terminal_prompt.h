#pragma once

// Questions asked on the terminal: a password read without echo, and text
// made safe to print there.

#include <string>

namespace bracken::cli {

// Asks on /dev/tty with echo off and reads one line, as the mysql client
// does. Throws std::runtime_error when there is no terminal.
std::string PromptHidden(const std::string& prompt);

// `text` with control characters written as escapes (\x1b, \u009b), so a name
// in a file can neither colour nor clear the terminal. Line ends and tabs
// stay when `keepLines` is set.
std::string EscapeControls(const std::string& text, bool keepLines = false);

}  // namespace bracken::cli
