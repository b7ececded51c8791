#pragma once

// What the user is told when the server cannot be used: no server accepted
// the login, or one accepted it but refused the session Bracken needs (its
// character set or sql_mode), in which case nothing is written there.

#include <string>

namespace bracken::engine {

inline constexpr const char* kConnectFailureMessage =
    "There is an error to connect with MySQL. Please check your input parameters or server "
    "configuration.";

inline std::string SessionRefusedMessage(const std::string& reason) {
  return "The MySQL server accepted the login but refused the session Bracken needs (utf8mb4 "
         "and a fixed sql_mode), so nothing was written there.\n" +
         reason;
}

}  // namespace bracken::engine
