// What one long value costs on the way to the server: as a hex literal in the
// statement's text (how binary values travel), as an escaped quoted literal
// (how texts travel), and as long data beside a statement with a placeholder.
// Run against the test server: long_value_bench [rounds]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/rows/value_literal.h"
#include "target/mysql_connection.h"
#include "tests/support/server_fixture.h"
#include "tests/support/server_query.h"
#include "tests/support/test_server.h"

namespace {

using namespace bracken;
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <typename Send>
double TimeRounds(int rounds, target::MySqlConnection& connection, Send send) {
  std::vector<double> seconds;
  for (int r = 0; r < rounds; ++r) {
    connection.Execute("TRUNCATE TABLE cells");
    const auto start = Clock::now();
    if (!send()) {
      std::fprintf(stderr, "refused: %s\n", connection.ErrorText().c_str());
      std::exit(1);
    }
    seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  return Median(seconds);
}

// Printable text with some quotes and backslashes to escape.
std::string Text(std::size_t size) {
  std::string text = bracken::testing::RandomBytes(size, 5);
  for (char& c : text) c = static_cast<char>(' ' + static_cast<unsigned char>(c) % 95);
  return text;
}

void Measure(target::MySqlConnection& connection, std::size_t size, int rounds) {
  const std::string bytes = bracken::testing::RandomBytes(size, 4);
  const std::string text = Text(size);
  // The statements are built before the clock starts: only the sending and
  // the server's work are timed.
  const std::string hexStatement =
      "INSERT INTO cells (b) VALUES (0x" + bracken::testing::Hex(bytes) + ")";
  const std::string quotedStatement =
      "INSERT INTO cells (t) VALUES ('" + engine::EscapeText(text) + "')";
  const double hex =
      TimeRounds(rounds, connection, [&] { return connection.Execute(hexStatement); });
  const double quoted =
      TimeRounds(rounds, connection, [&] { return connection.Execute(quotedStatement); });
  const double longBinary = TimeRounds(rounds, connection, [&] {
    return connection.ExecuteWithLongValues("INSERT INTO cells (b) VALUES (?)", {bytes});
  });
  const double longText = TimeRounds(rounds, connection, [&] {
    return connection.ExecuteWithLongValues("INSERT INTO cells (t) VALUES (?)", {text});
  });
  const std::size_t pieces = std::max<std::size_t>(1, (size + (1u << 20) - 1) >> 20);
  std::printf("%9zu | %9zu %8.2f | %9zu %8.2f | %9zu %8.2f %8.2f\n", size, hexStatement.size(),
              hex * 1e3, quotedStatement.size(), quoted * 1e3, size + pieces * 11 + 36,
              longBinary * 1e3, longText * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  auto server = bracken::testing::TestServerFromEnvironment();
  if (!server) {
    std::fprintf(stderr, "long_value_bench: %s\n", bracken::testing::kNoServerMessage);
    return 2;
  }
  bracken::testing::ServerQuery(*server).Execute("DROP DATABASE IF EXISTS long_value_bench");
  bracken::testing::ServerQuery(*server).Execute("CREATE DATABASE long_value_bench");
  target::MySqlConnection connection;
  if (connection.Connect(server->host, server->user, server->password) !=
      target::MySqlConnection::ConnectResult::Connected) {
    std::fprintf(stderr, "long_value_bench: %s\n", connection.ErrorText().c_str());
    return 2;
  }
  connection.Execute("USE long_value_bench");
  connection.Execute(
      "CREATE TABLE cells (b LONGBLOB, t LONGTEXT) ENGINE=myisam CHARACTER SET utf8mb4");
  std::printf("max_allowed_packet %llu; median of %d rounds; sizes in bytes, times in ms\n",
              static_cast<unsigned long long>(connection.Traits().maxAllowedPacket), rounds);
  std::printf("%9s | %9s %8s | %9s %8s | %9s %8s %8s\n", "value", "hex sent", "hex ms", "text sent",
              "text ms", "long sent", "bin ms", "text ms");
  for (std::size_t size : {std::size_t{4} << 10, std::size_t{64} << 10, std::size_t{1} << 20,
                           std::size_t{8} << 20, std::size_t{32} << 20}) {
    Measure(connection, size, rounds);
  }
  connection.Execute("DROP DATABASE long_value_bench");
  return 0;
}
