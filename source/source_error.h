#pragma once

// Raising source errors: the engine's own wording for damaged files and the
// provider's wording for the failures that callers classify.

#include <stdexcept>
#include <string>

namespace bracken::source {

// A failure of a source operation: numeric code, source name, description.
class SourceError : public std::runtime_error {
 public:
  SourceError(long code, std::string source, std::string description);
  long Code() const { return code_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }

 private:
  long code_;
  std::string source_;
  std::string description_;
};

// The numeric code and source name every error of this reader carries.
inline constexpr long kErrorCode = -2147467259;  // 0x80004005, the provider's generic failure
inline constexpr const char* kErrorSource = "Bracken Access Reader";

// A damaged or unreadable file: "The database file is damaged: WHAT".
[[noreturn]] void ThrowDamaged(const std::string& what);
// The same for a fixed text; kept out of line so that the checks on hot
// paths build no string where they test.
[[noreturn, gnu::cold, gnu::noinline]] void ThrowDamaged(const char* what);
// What a damaged-file error says is damaged ("a row lies outside its data
// page"), without the sentence around it; any other error's description.
std::string DamageReason(const SourceError& error);
// Any other failure, with the description as given.
[[noreturn]] void ThrowSourceError(const std::string& description);
[[noreturn, gnu::cold, gnu::noinline]] void ThrowSourceError(const char* description);

}  // namespace bracken::source
