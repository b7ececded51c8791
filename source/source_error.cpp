#include "source/source_error.h"

#include <string_view>

namespace bracken::source {

SourceError::SourceError(long code, std::string source, std::string description)
    : std::runtime_error(description),
      code_(code),
      source_(std::move(source)),
      description_(std::move(description)) {}

namespace {
constexpr std::string_view kDamagedStart = "The database file is damaged: ";
}

void ThrowDamaged(const std::string& what) {
  throw SourceError(kErrorCode, kErrorSource, std::string(kDamagedStart) + what + ".");
}

std::string DamageReason(const SourceError& error) {
  std::string_view text = error.Description();
  if (text.substr(0, kDamagedStart.size()) == kDamagedStart) {
    text.remove_prefix(kDamagedStart.size());
    if (!text.empty() && text.back() == '.') text.remove_suffix(1);
  }
  return std::string(text);
}

void ThrowDamaged(const char* what) { ThrowDamaged(std::string(what)); }

void ThrowSourceError(const std::string& description) {
  throw SourceError(kErrorCode, kErrorSource, description);
}

void ThrowSourceError(const char* description) { ThrowSourceError(std::string(description)); }

}  // namespace bracken::source
