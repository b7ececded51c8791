#pragma once

// What the user is told when the server cannot be used: no server accepted
// the login, or one accepted it but refused the session Bracken needs (its
// character set or sql_mode), in which case nothing is written there.

#include <string>

namespace bracken::engine {

inline constexpr const char* kConnectFailureMessage =
    "There is an error to connect with MySQL. Please check your input parameters or server "
    "configuration.";

// The usual sentence with, on a line of its own below, the reason the server
// or the client library gave for the last attempt and its error number ("Access
// denied for user ... (1045)", "Can't connect to server on ... (111)"). A number
// of 0 is left out; without a reason the sentence stands alone.
inline std::string ConnectFailureMessage(const std::string& reason, unsigned int code) {
  std::string text = kConnectFailureMessage;
  if (reason.empty()) return text;
  text += "\n\n" + reason;
  if (code != 0) text += " (" + std::to_string(code) + ")";
  return text;
}

inline std::string SessionRefusedMessage(const std::string& reason) {
  return "The MySQL server accepted the login but refused the session Bracken needs (utf8mb4 "
         "and a fixed sql_mode), so nothing was written there.\n" +
         reason;
}

}  // namespace bracken::engine
