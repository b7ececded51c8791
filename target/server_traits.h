#pragma once

// What the conversion needs to know of the server it writes to, read once
// right after connecting.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bracken::target {

struct ServerTraits {
  // The session's max_allowed_packet in bytes: the longest packet the server
  // takes, so the bound on one statement's text and on one long value.
  std::uint64_t maxAllowedPacket = 0;
  // @@version as the server reports it, e.g. "10.11.6-MariaDB-0+deb12u1".
  std::string version;
  bool isMariaDb = false;
  // CONNECTION_ID() of this session: the id another session names it by in
  // the process list and in KILL QUERY.
  std::uint64_t connectionId = 0;
  // A case-insensitive, accent-sensitive collation of the language-neutral
  // kind for utf8 (utf8mb3) and for utf8mb4; empty where the server has none.
  std::string utf8AccentSensitiveCollation;
  std::string utf8mb4AccentSensitiveCollation;

  // The longest statement text the server takes in one query: the packet
  // carries the command byte too, and the server takes only packets shorter
  // than max_allowed_packet (a longer one ends the connection).
  std::uint64_t MaxStatementBytes() const;
  // The collation above for "utf8", "utf8mb3" or "utf8mb4"; empty for any
  // other character set or where the server has none.
  const std::string& AccentSensitiveCollation(std::string_view charset) const;
};

// One row of the server's list of collations and the character sets they
// apply to, with the full collation name ("utf8mb4_uca1400_as_ci").
struct CollationName {
  std::string charset;
  std::string collation;
};

// The language-neutral case-insensitive, accent-sensitive collation of
// `charset` ("utf8" and "utf8mb3" are one character set) among `available`:
// "<charset>_<algorithm>_as_ci", the newest Unicode algorithm winning
// (uca1400 over 0900). Empty when there is none.
std::string ChooseAccentSensitiveCollation(const std::vector<CollationName>& available,
                                           std::string_view charset);

}  // namespace bracken::target
