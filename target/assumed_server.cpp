#include "target/assumed_server.h"

#include <charconv>
#include <string>

namespace bracken::target {

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kClientPacket = kClientPacketBytes;

struct Version {
  std::string number;  // "10.11", "8.0.36"
  bool mariaDb = false;
  int major = 0;
  int minor = 0;
  bool AtLeast(int major_, int minor_) const {
    return major > major_ || (major == major_ && minor >= minor_);
  }
};

bool TakeNumber(std::string_view& text, int& number) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end == text.data()) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

bool TakePrefix(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

std::optional<Version> ReadVersion(std::string_view text) {
  Version version;
  const bool mariaDbNamed = TakePrefix(text, "mariadb-");
  const bool mySqlNamed = !mariaDbNamed && TakePrefix(text, "mysql-");
  version.number = std::string(text);
  if (!TakeNumber(text, version.major) || !TakePrefix(text, ".") ||
      !TakeNumber(text, version.minor)) {
    return std::nullopt;
  }
  int patch = 0;
  if (TakePrefix(text, ".") && !TakeNumber(text, patch)) return std::nullopt;
  if (!text.empty()) return std::nullopt;
  version.mariaDb = mariaDbNamed || (!mySqlNamed && version.major >= 10);
  return version;
}

}  // namespace

std::optional<ServerTraits> AssumedServerTraits(std::string_view text) {
  std::optional<Version> version = ReadVersion(text);
  if (!version) return std::nullopt;
  ServerTraits traits;
  traits.isMariaDb = version->mariaDb;
  traits.version = version->number + (traits.isMariaDb ? "-MariaDB" : "");
  if (traits.isMariaDb) {
    traits.maxAllowedPacket = version->AtLeast(10, 2) ? kClientPacket : 4 * kMiB;
    if (version->AtLeast(10, 10)) {
      traits.utf8AccentSensitiveCollation = "utf8mb3_uca1400_as_ci";
      traits.utf8mb4AccentSensitiveCollation = "utf8mb4_uca1400_as_ci";
    }
  } else {
    traits.maxAllowedPacket = version->AtLeast(8, 0) ? kClientPacket : 4 * kMiB;
    if (version->AtLeast(8, 0)) traits.utf8mb4AccentSensitiveCollation = "utf8mb4_0900_as_ci";
  }
  return traits;
}

}  // namespace bracken::target
