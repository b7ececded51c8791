// libFuzzer target: a byte buffer opened as a database and read through the
// access operations from the catalogue to the last field of the last row.
// Damaged input must end in a SourceError; a crash, a hang, a leak or any
// other exception is a fault. Built and run by scripts/fuzz.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/read_everything.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    bracken::fuzzing::ReadEverything(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const bracken::source::SourceError&) {
  }
  return 0;
}
