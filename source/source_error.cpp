#include "source/source_error.h"

namespace bracken::source {

SourceError::SourceError(long code, std::string source, std::string description)
    : std::runtime_error(description),
      code_(code),
      source_(std::move(source)),
      description_(std::move(description)) {}

void ThrowDamaged(const std::string& what) {
  throw SourceError(kErrorCode, kErrorSource, "The database file is damaged: " + what + ".");
}

void ThrowDamaged(const char* what) { ThrowDamaged(std::string(what)); }

void ThrowSourceError(const std::string& description) {
  throw SourceError(kErrorCode, kErrorSource, description);
}

void ThrowSourceError(const char* description) { ThrowSourceError(std::string(description)); }

}  // namespace bracken::source
