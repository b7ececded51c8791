#include "tests/support/ace_header.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace bracken::testing {

namespace {

constexpr size_t kMagicOffset = 4;
constexpr char kAceMagic[] = "Standard ACE DB";  // 16 bytes with the final NUL
constexpr size_t kVersionOffset = 0x14;

}  // namespace

std::string AceFromJet4(std::string jet4, uint8_t version) {
  if (jet4.size() < 4096 || jet4.compare(kMagicOffset, 15, "Standard Jet DB") != 0 ||
      jet4[kVersionOffset] != 1) {
    throw std::invalid_argument("not a Jet 4 file");
  }
  std::memcpy(jet4.data() + kMagicOffset, kAceMagic, sizeof kAceMagic);
  jet4[kVersionOffset] = static_cast<char>(version);
  return jet4;
}

void ConvertJet4FileToAce(const std::filesystem::path& path, uint8_t version) {
  std::string head(4096, '\0');
  {
    std::ifstream in(path, std::ios::binary);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
  }
  std::string converted = AceFromJet4(head, version);
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  out.write(converted.data(), kVersionOffset + 1);
  if (!out) throw std::runtime_error("cannot rewrite the header of " + path.string());
}

}  // namespace bracken::testing
