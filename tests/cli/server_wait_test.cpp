// bracken-cli against a server that makes it wait for something other than
// a table's lock (another client's FLUSH TABLES WITH READ LOCK, a full
// disk): the wait is named, the first Ctrl-C breaks it off, SIGTERM ends the
// run with the summary line; and a run ended at once never tells fewer rows
// sent than the server holds.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "engine/output/lock_wait_watch.h"
#include "tests/cli/cli_child.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"
#include "tests/support/test_server.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ServerWait : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(fs::path(BRACKEN_BINARY_DIR) / "cli" / "bracken-cli")) {
      GTEST_SKIP() << "bracken-cli is not built";
    }
    auto server = TestServerFromEnvironment();
    if (!server) GTEST_SKIP() << kNoServerMessage;
    server_ = *server;
    holder_ = std::make_unique<ServerQuery>(server_);
    holder_->Execute("DROP DATABASE IF EXISTS " + db_);
    dir_ = fs::temp_directory_path() / ("bracken_wait_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (holder_) {
      holder_->Execute("UNLOCK TABLES");
      holder_->Execute("DROP DATABASE IF EXISTS " + db_);
    }
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  // A file with one table of `rows` rows.
  std::string WriteFile(long rows) {
    FixtureTable table;
    table.name = "Numbers";
    table.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 40)};
    for (long i = 1; i <= rows; ++i) {
      table.rows.push_back({int64_t{i}, "row number " + std::to_string(i)});
    }
    FixtureDatabase database;
    database.tables = {table};
    const fs::path path = dir_ / "numbers.mdb";
    WriteJet4File(database, path);
    return path.string();
  }
  std::vector<std::string> Arguments(const std::string& file) const {
    return {"convert",    file,         "--host",
            server_.host, "--port",     std::to_string(server_.port),
            "--user",     server_.user, "--password=" + server_.password,
            "--database", db_,          "--yes"};
  }

  TestServer server_;
  std::unique_ptr<ServerQuery> holder_;
  fs::path dir_;
  // Each test process has its own database: the cases may run side by side.
  const std::string db_ = "cli_server_wait_" + std::to_string(::getpid());
};

// The words of the notice the test looks for.
constexpr const char* kGlobalReadLock = "holds a global read lock (FLUSH TABLES WITH READ LOCK";

TEST_F(ServerWait, AGlobalReadLockIsNamedAndTheFirstCtrlCBreaksItOff) {
  holder_->Execute("CREATE DATABASE " + db_);
  holder_->Execute("FLUSH TABLES WITH READ LOCK");
  CliChild child(dir_, Arguments(WriteFile(3)));
  ASSERT_TRUE(child.WaitForError(kGlobalReadLock, 15s)) << child.Errors();
  EXPECT_EQ(child.Errors().find(engine::kLockWaitText), std::string::npos)
      << "named as what it is, not as a table's lock";
  child.Signal(SIGINT);
  EXPECT_EQ(child.Wait(5s), 1) << "the first Ctrl-C breaks the wait off";
  EXPECT_EQ(child.Output(), db_ + ": 0 of 1 tables converted, 0 of 0 rows refused; stopped\n");
  EXPECT_NE(child.Errors().find("The wait on the server is over."), std::string::npos)
      << child.Errors();
  holder_->Execute("UNLOCK TABLES");
  EXPECT_EQ(
      holder_->Value("SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = '" +
                     db_ + "'"),
      "1")
      << "the DROP DATABASE was broken off";
}

TEST_F(ServerWait, SigtermDuringTheWaitEndsTheRunWithTheSummaryLine) {
  holder_->Execute("FLUSH TABLES WITH READ LOCK");
  CliChild child(dir_, Arguments(WriteFile(3)));
  ASSERT_TRUE(child.WaitForError(kGlobalReadLock, 15s)) << child.Errors();
  child.Signal(SIGTERM);
  EXPECT_EQ(child.Wait(3s), 1);
  EXPECT_EQ(child.Output(),
            db_ + ": 0 of 1 tables converted, 0 of 0 rows refused; ended at once by SIGTERM\n");
}

// Ended at once while a batch is on its way: the server goes on storing it,
// and the summary counts it as sent.
TEST_F(ServerWait, RowsSentAreNeverFewerThanTheRowsThatArrived) {
  const std::string file = WriteFile(60000);
  std::vector<std::string> args = Arguments(file);
  args.insert(args.end(), {"--batch-rows", "500", "--no-load-data"});
  CliChild child(dir_, args);
  // The table's row count while it may not exist yet (exact for MyISAM).
  const std::string tableRows =
      "SELECT COALESCE(SUM(TABLE_ROWS), 0) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
      db_ + "' AND TABLE_NAME = 'Numbers'";
  for (auto end = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(5ms)) {
    if (std::stol(holder_->Value(tableRows).value_or("0")) >= 2000) break;
  }
  child.Signal(SIGTERM);
  ASSERT_EQ(child.Wait(5s), 1) << child.Output() << child.Errors();
  std::smatch match;
  const std::string output = child.Output();
  ASSERT_TRUE(std::regex_search(output, match, std::regex(" of ([0-9]+) rows refused"))) << output;
  const long sent = std::stol(match[1]);
  EXPECT_LT(sent, 60000) << "ended before the table was done";
  // The server finishes the statement it holds after the client is gone.
  std::this_thread::sleep_for(1s);
  const long arrived =
      std::stol(holder_->Value("SELECT COUNT(*) FROM " + db_ + ".Numbers").value_or("0"));
  EXPECT_GE(sent, arrived) << output;
  EXPECT_GE(arrived, 2000);
}

// A server of the test's own whose data folder is a small tmpfs, filled up
// but for a few kilobytes before the run. Needs the right to mount (root in
// a container), else it skips.
class DiskFull : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(fs::path(BRACKEN_BINARY_DIR) / "cli" / "bracken-cli")) {
      GTEST_SKIP() << "bracken-cli is not built";
    }
    const std::string server = Binary({"mariadbd", "mysqld"});
    const std::string install = Binary({"mariadb-install-db", "mysql_install_db"});
    client_ = Binary({"mariadb", "mysql"});
    if (server.empty() || install.empty() || client_.empty()) {
      GTEST_SKIP() << "no MariaDB server binaries: the disk-full case is not tried";
    }
    dir_ = fs::temp_directory_path() / ("bracken_full_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    if (::mount("tmpfs", dir_.c_str(), "tmpfs", 0, "size=64m") != 0) {
      const int error = errno;
      fs::remove_all(dir_);
      dir_.clear();
      GTEST_SKIP() << "mounting a small tmpfs for the server's data folder is not allowed here ("
                   << std::strerror(error) << "): the disk-full case is not tried";
    }
    mounted_ = true;
    const std::string data = (dir_ / "data").string();
    ASSERT_EQ(std::system((install + " --no-defaults --datadir=" + data +
                           " --user=$(id -un) --auth-root-authentication-method=normal"
                           " --skip-test-db --innodb-log-file-size=4M >" +
                           (dir_ / "install.log").string() + " 2>&1")
                              .c_str()),
              0);
    socket_ = (dir_ / "s.sock").string();
    std::vector<std::string> args = {server,
                                     "--no-defaults",
                                     "--datadir=" + data,
                                     "--socket=" + socket_,
                                     "--pid-file=" + (dir_ / "p.pid").string(),
                                     "--skip-networking",
                                     "--user=" + std::string(::getpwuid(::geteuid())->pw_name),
                                     "--log-error=" + (dir_ / "error.log").string(),
                                     "--innodb-buffer-pool-size=16M",
                                     "--innodb-log-file-size=4M",
                                     "--skip-log-bin"};
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawn(&server_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_EQ(spawned, 0);
    bool ready = false;
    for (int i = 0; i < 100 && !ready; ++i) {
      ready = Sql("SELECT 1");
      if (!ready) std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(ready) << ReadAll(dir_ / "error.log");
    ASSERT_TRUE(Sql("CREATE USER bracken@localhost IDENTIFIED BY '" + std::string(kPassword) +
                    "'; GRANT ALL ON *.* TO bracken@localhost"));
  }
  void TearDown() override {
    if (server_ > 0) {
      ::kill(server_, SIGKILL);
      ::waitpid(server_, nullptr, 0);
    }
    if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  static std::string Binary(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      for (const char* folder : {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin"}) {
        const fs::path path = fs::path(folder) / name;
        if (::access(path.c_str(), X_OK) == 0) return path.string();
      }
    }
    return "";
  }
  bool Sql(const std::string& statement) {
    return std::system((client_ + " --no-defaults --socket=" + socket_ + " -uroot -e \"" +
                        statement + "\" >/dev/null 2>&1")
                           .c_str()) == 0;
  }
  // The one value of a query, or "" when it fails.
  std::string Query(const std::string& query) {
    std::string command = client_ + " --no-defaults --socket=" + socket_ + " -uroot -N -e \"" +
                          query + "\" 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return "";
    char line[64] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = ::pclose(pipe);
    std::string value = read && status == 0 ? line : "";
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
  }
  // Fills the data folder's disk but for `spare` bytes.
  void FillDisk(std::size_t spare) {
    struct statvfs disk {};
    ASSERT_EQ(::statvfs(dir_.c_str(), &disk), 0);
    const std::size_t free = disk.f_bavail * disk.f_frsize;
    ASSERT_GT(free, spare);
    std::ofstream filler(dir_ / "filler", std::ios::binary);
    const std::string block(4096, '\0');
    for (std::size_t left = free - spare; left >= block.size(); left -= block.size()) {
      filler.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }

  static constexpr const char* kPassword = "disk-full-test";
  fs::path dir_;
  bool mounted_ = false;
  pid_t server_ = -1;
  std::string client_, socket_;
};

TEST_F(DiskFull, TheWaitForSpaceIsNamedAndTheFirstCtrlCBreaksItOff) {
  FixtureTable table;
  table.name = "Numbers";
  table.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 100)};
  for (long i = 1; i <= 20000; ++i) {
    table.rows.push_back({int64_t{i}, std::string(90, 'x') + std::to_string(i)});
  }
  FixtureDatabase database;
  database.tables = {table};
  WriteJet4File(database, dir_ / "numbers.mdb");
  FillDisk(std::size_t{256} * 1024);
  // Its output goes elsewhere than the full disk.
  const fs::path outputs =
      fs::temp_directory_path() / ("bracken_full_out_" + std::to_string(::getpid()));
  fs::create_directories(outputs);
  CliChild child(outputs, {"convert", (dir_ / "numbers.mdb").string(), "--host", "localhost",
                           "--socket", socket_, "--user", "bracken",
                           "--password=" + std::string(kPassword), "--database", "full", "--yes"});
  ASSERT_TRUE(child.WaitForError("the MySQL server's disk is full", 20s))
      << child.Errors() << child.Output();
  child.Signal(SIGINT);
  EXPECT_EQ(child.Wait(15s), 1) << "the first Ctrl-C breaks the wait off";
  EXPECT_NE(child.Output().find("full: 0 of 1 tables converted"), std::string::npos)
      << child.Output();
  EXPECT_NE(child.Output().find("; stopped"), std::string::npos)
      << child.Output() << child.Errors();
  // The rows the broken-off INSERT wrote before the wait stay in the MyISAM
  // table; the summary counts them as sent when the table tells its count.
  std::smatch match;
  const std::string output = child.Output();
  fs::remove_all(outputs);
  ASSERT_TRUE(std::regex_search(output, match, std::regex(" of ([0-9]+) rows refused"))) << output;
  const std::string arrived = Query("SELECT COUNT(*) FROM full.Numbers");
  if (!arrived.empty()) {
    EXPECT_GE(std::stol(match[1]), std::stol(arrived)) << output;
  }
}

// Ended at once while the table's LOAD streams: the rows the server took
// before the client went are counted as sent.
TEST_F(ServerWait, RowsSentByAStreamedLoadAreNeverFewerThanTheRowsThatArrived) {
  const long rows = 300000;
  CliChild child(dir_, Arguments(WriteFile(rows)));
  const std::string loading = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE DB = '" +
                              db_ + "' AND INFO LIKE 'LOAD DATA LOCAL%'";
  bool seen = false;
  for (auto end = std::chrono::steady_clock::now() + 20s;
       !seen && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(5ms)) {
    seen = holder_->Value(loading).value_or("0") != "0";
  }
  ASSERT_TRUE(seen) << child.Errors();
  std::this_thread::sleep_for(100ms);
  child.Signal(SIGTERM);
  ASSERT_EQ(child.Wait(5s), 1) << child.Output() << child.Errors();
  std::smatch match;
  const std::string output = child.Output();
  ASSERT_TRUE(std::regex_search(output, match, std::regex(" of ([0-9]+) rows refused"))) << output;
  const long sent = std::stol(match[1]);
  EXPECT_LT(sent, rows) << "ended before the table was done";
  // The server ends the statement once the client is gone.
  std::this_thread::sleep_for(1s);
  const long arrived =
      std::stol(holder_->Value("SELECT COUNT(*) FROM " + db_ + ".Numbers").value_or("0"));
  EXPECT_GE(sent, arrived) << output;
}

}  // namespace
}  // namespace bracken::testing
