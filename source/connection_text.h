#pragma once

// The source connection text: "Provider=...;Data Source=PATH;Jet OLEDB:
// Database Password=PASSWORD". The path runs to the ";" that starts the
// password key (to the next ";" when the key is missing), so a path may hold
// ";"; everything after the password key is the password, ";" included.

#include <string>

namespace bracken::source {

struct ConnectionSettings {
  std::string dataSource;
  std::string password;
};

ConnectionSettings ParseConnectionText(const std::string& text);

}  // namespace bracken::source
