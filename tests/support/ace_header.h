#pragma once

// Access 2007 and later files for tests and benchmarks, made from the fixture
// writer's Jet 4 files: for an unencrypted file the page layout is the same,
// only the header's magic text and version byte differ.

#include <cstdint>
#include <filesystem>
#include <string>

namespace bracken::testing {

// The version bytes: 2 ACE 12 (Access 2007), 3 ACE 14, 5 ACE 16, 6 ACE 17.
std::string AceFromJet4(std::string jet4, uint8_t version = 2);
// The same, in place, for a file written with WriteJet4File.
void ConvertJet4FileToAce(const std::filesystem::path& path, uint8_t version = 2);

}  // namespace bracken::testing
