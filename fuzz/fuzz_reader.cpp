// libFuzzer target: a byte buffer opened as a database and read through the
// access operations from the catalogue to the last field of the last row.
// Damaged input must end in a SourceError; a crash, a hang, a leak or any
// other exception is a fault. An input the empty password does not open is
// tried with the passwords of the encrypted seeds, so that decryption and
// the pages behind it are fuzzed as well. Built and run by scripts/fuzz.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/read_everything.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    bracken::fuzzing::ReadEverythingWithSeedPasswords(
        std::string(reinterpret_cast<const char*>(data), size));
  } catch (const bracken::source::SourceError&) {
  }
  return 0;
}
