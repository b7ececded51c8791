#include "target/server_traits.h"

#include <cctype>

namespace bracken::target {

namespace {

bool IsUtf8mb3(std::string_view charset) { return charset == "utf8" || charset == "utf8mb3"; }

bool SameCharset(std::string_view a, std::string_view b) {
  return a == b || (IsUtf8mb3(a) && IsUtf8mb3(b));
}

// The algorithm's version in a name's middle part: 1400 for "uca1400", 900
// for "0900"; -1 when the middle part is not a bare algorithm (a language,
// "nopad" or anything else follows or precedes it).
long AlgorithmVersion(std::string_view middle) {
  if (middle.substr(0, 3) == "uca") middle.remove_prefix(3);
  if (middle.empty() || middle.size() > 6) return -1;
  long version = 0;
  for (char c : middle) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
    version = version * 10 + (c - '0');
  }
  return version;
}

// The version of a neutral "<charset>_<algorithm>_as_ci" name, else -1.
long NeutralAccentSensitiveVersion(std::string_view collation, std::string_view charset) {
  constexpr std::string_view kSuffix = "_as_ci";
  if (collation.size() <= charset.size() + 1 + kSuffix.size()) return -1;
  if (collation.substr(0, charset.size()) != charset || collation[charset.size()] != '_') return -1;
  if (collation.substr(collation.size() - kSuffix.size()) != kSuffix) return -1;
  collation.remove_prefix(charset.size() + 1);
  collation.remove_suffix(kSuffix.size());
  return AlgorithmVersion(collation);
}

}  // namespace

std::uint64_t ServerTraits::MaxStatementBytes() const {
  return maxAllowedPacket > 2 ? maxAllowedPacket - 2 : 0;
}

const std::string& ServerTraits::AccentSensitiveCollation(std::string_view charset) const {
  static const std::string kNone;
  if (IsUtf8mb3(charset)) return utf8AccentSensitiveCollation;
  if (charset == "utf8mb4") return utf8mb4AccentSensitiveCollation;
  return kNone;
}

std::string ChooseAccentSensitiveCollation(const std::vector<CollationName>& available,
                                           std::string_view charset) {
  std::string best;
  long bestVersion = -1;
  for (const CollationName& row : available) {
    if (!SameCharset(row.charset, charset)) continue;
    long version = NeutralAccentSensitiveVersion(row.collation, row.charset);
    if (version > bestVersion) {
      best = row.collation;
      bestVersion = version;
    }
  }
  return best;
}

}  // namespace bracken::target
