#pragma once

// LOAD DATA LOCAL INFILE whose "file" is made in memory while the server
// reads it: the client library asks the connection's own handler for the
// bytes, which takes them from the stream given with the statement and
// from nothing else. A server that asks for a file while no load is under
// way (it may ask at any time) gets an error, never a file of this machine.

namespace bracken::target {

// The bytes of one LOAD's "file", asked for piece by piece as the client
// library sends them on (so the server parses one piece while the next is
// made).
class LocalLoadStream {
 public:
  virtual ~LocalLoadStream() = default;
  // Writes up to `size` bytes into `buffer` and returns how many; 0 ends
  // the file. -1 breaks the load off: the client library ends the file
  // there (the server keeps what its engine kept of the rows sent before)
  // and the load is Failed with kLoadBrokenOffText.
  virtual int Read(char* buffer, unsigned int size) = 0;
};

// The error text of a load its stream broke off.
inline constexpr const char* kLoadBrokenOffText = "The rows' stream was broken off.";

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
