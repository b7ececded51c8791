#include "tests/support/tcp_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace bracken::testing {

namespace {

int ConnectTo(const std::string& host, int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Passes what `from` has to `to`; false when `from` closed.
bool Pass(int from, int to) {
  char buffer[16384];
  ssize_t got = ::read(from, buffer, sizeof buffer);
  if (got <= 0) return false;
  for (ssize_t done = 0; done < got;) {
    ssize_t sent = ::write(to, buffer + done, static_cast<size_t>(got - done));
    if (sent <= 0) return false;
    done += sent;
  }
  return true;
}

}  // namespace

TcpRelay::TcpRelay(const std::string& targetHost, int targetPort)
    : targetHost_(targetHost), targetPort_(targetPort) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("the relay cannot listen");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

TcpRelay::~TcpRelay() {
  quit_ = true;
  thread_.join();
  ::close(listener_);
}

// One thread polls the listener and every pair of sockets.
void TcpRelay::Run() {
  std::vector<int> open;                   // every socket to close at the end
  std::vector<std::pair<int, int>> pairs;  // client, server
  while (!quit_) {
    std::vector<pollfd> watched{{listener_, POLLIN, 0}};
    if (!frozen_) {
      for (auto [client, server] : pairs) {
        watched.push_back({client, POLLIN, 0});
        watched.push_back({server, POLLIN, 0});
      }
    }
    if (::poll(watched.data(), watched.size(), 50) <= 0) continue;
    if (watched[0].revents & POLLIN) {
      int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client >= 0) {
        open.push_back(client);
        int server = targetHost_.empty() ? -1 : ConnectTo(targetHost_, targetPort_);
        if (server >= 0) {
          open.push_back(server);
          pairs.emplace_back(client, server);
        }
      }
    }
    std::vector<std::pair<int, int>> alive;
    for (std::size_t p = 0; p < pairs.size(); ++p) {
      const auto& pair = pairs[p];
      bool ok = true;
      for (std::size_t side = 0; side < 2 && 1 + 2 * p + side < watched.size(); ++side) {
        const pollfd& polled = watched[1 + 2 * p + side];
        if (polled.revents != 0 && !Pass(polled.fd, side == 0 ? pair.second : pair.first)) {
          ok = false;
        }
      }
      if (ok) {
        alive.push_back(pair);
      } else {
        ::shutdown(pair.first, SHUT_RDWR);
        ::shutdown(pair.second, SHUT_RDWR);
      }
    }
    pairs = alive;
  }
  for (int fd : open) ::close(fd);
}

}  // namespace bracken::testing
