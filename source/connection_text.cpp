#include "source/connection_text.h"

namespace bracken::source {

namespace {

constexpr std::string_view kDataSourceKey = "Data Source=";
constexpr std::string_view kPasswordKey = "Jet OLEDB:Database Password=";

}  // namespace

ConnectionSettings ParseConnectionText(const std::string& text) {
  ConnectionSettings settings;
  size_t sourceAt = text.find(kDataSourceKey);
  size_t valueAt = sourceAt == std::string::npos ? 0 : sourceAt + kDataSourceKey.size();
  size_t passwordAt = text.find(kPasswordKey, valueAt);
  if (passwordAt != std::string::npos) {
    settings.password = text.substr(passwordAt + kPasswordKey.size());
  }
  if (sourceAt == std::string::npos) return settings;
  // The path runs to the ";" before the password key, so that a path holding
  // ";" still opens; without that key it runs to the next ";".
  size_t end =
      passwordAt != std::string::npos && passwordAt > valueAt && text[passwordAt - 1] == ';'
          ? passwordAt - 1
          : text.find(';', valueAt);
  settings.dataSource = text.substr(valueAt, end == std::string::npos ? end : end - valueAt);
  return settings;
}

}  // namespace bracken::source
