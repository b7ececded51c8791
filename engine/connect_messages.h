#pragma once

// What the user is told when the server cannot be used: no server accepted
// the login, or one accepted it but refused the session Bracken needs (its
// character set or sql_mode), in which case nothing is written there.

#include <cstdint>
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

// Why MyISAM tables do not serve on a cluster node: Galera and Group
// Replication replicate InnoDB tables only. `galeraNodes` is the Galera
// cluster's size (0 when unknown); not Galera means a Group Replication
// member.
inline std::string MyIsamOnClusterText(bool galera, std::uint64_t galeraNodes) {
  if (!galera) {
    return "The server is a member of a Group Replication group: MyISAM tables would stay on "
           "this server only.";
  }
  std::string text = "The server is a node of a Galera cluster";
  if (galeraNodes > 0) text += " of " + std::to_string(galeraNodes);
  return text + ": MyISAM tables would stay on this node only.";
}

}  // namespace bracken::engine
