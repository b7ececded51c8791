#pragma once

// A local TCP listener for servers that misbehave: one that accepts and
// never answers, or one that relays to a real server until told to freeze
// (then it keeps the connections open but passes nothing on either way).

#include <atomic>
#include <string>
#include <thread>

namespace bracken::testing {

class TcpRelay {
 public:
  // Listens on 127.0.0.1 at a free port. An empty `targetHost` makes the
  // silent listener; otherwise each connection is relayed to the target.
  TcpRelay(const std::string& targetHost = "", int targetPort = 0);
  ~TcpRelay();
  TcpRelay(const TcpRelay&) = delete;
  TcpRelay& operator=(const TcpRelay&) = delete;

  int Port() const { return port_; }
  // From now on nothing is passed on; the connections stay open.
  void Freeze() { frozen_ = true; }

 private:
  void Run();

  std::string targetHost_;
  int targetPort_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> frozen_{false};
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

}  // namespace bracken::testing
