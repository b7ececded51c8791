#pragma once

// Single and Double values as the shortest text that reads back to the same
// value, fixed or scientific, whichever is shorter (fixed on a tie): the form
// std::to_chars gives, reached without its general algorithm for the
// ordinary values that data holds.

namespace bracken::source {

// Writes the text at out, which has room for 64 characters; returns its end.
char* PutShortest(double value, char* out);
char* PutShortest(float value, char* out);

}  // namespace bracken::source
