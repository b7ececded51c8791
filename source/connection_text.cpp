#include "source/connection_text.h"

namespace bracken::source {

namespace {

constexpr std::string_view kDataSourceKey = "Data Source=";
constexpr std::string_view kPasswordKey = "Jet OLEDB:Database Password=";

}  // namespace

ConnectionSettings ParseConnectionText(const std::string& text) {
  ConnectionSettings settings;
  size_t passwordAt = text.find(kPasswordKey);
  std::string_view head(text);
  if (passwordAt != std::string::npos) {
    settings.password = text.substr(passwordAt + kPasswordKey.size());
    head = head.substr(0, passwordAt);
  }
  size_t sourceAt = head.find(kDataSourceKey);
  if (sourceAt != std::string::npos) {
    std::string_view rest = head.substr(sourceAt + kDataSourceKey.size());
    settings.dataSource = std::string(rest.substr(0, rest.find(';')));
  }
  return settings;
}

}  // namespace bracken::source
