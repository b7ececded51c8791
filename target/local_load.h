#pragma once

// LOAD DATA LOCAL INFILE whose "file" is a buffer in memory: the client
// library asks the connection's own handler for the bytes, which hands out
// the buffer given with the statement and nothing else. A server that asks
// for a file while no load is under way (it may ask at any time) gets an
// error, never a file of this machine.

namespace bracken::target {

// How a LOAD DATA LOCAL statement ended.
enum class LocalLoadResult {
  Loaded,   // the server took the statement; LocalLoadCounts say what became of the rows
  Failed,   // refused or broken off after the server asked for the rows (ErrorText says why)
  NotTaken  // refused before the server asked for the rows: LOCAL is off, or the statement wrong
};

// What the server told of a LOAD it took: the rows it stored and its
// warnings (a duplicate skipped, a value cut or replaced: LOCAL turns the
// errors of strict mode into warnings).
struct LocalLoadCounts {
  unsigned long long rows = 0;
  unsigned int warnings = 0;
};

}  // namespace bracken::target
