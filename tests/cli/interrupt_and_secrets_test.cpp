// bracken-cli as a child process: passwords gone from the process list while
// it waits on a lock, Ctrl-C once and twice, a FIFO as the file, a silent
// server, a password after --password never echoed, and inspect escaping
// control characters.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/cli/cli_child.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"
#include "tests/support/tcp_relay.h"
#include "tests/support/test_server.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class InterruptAndSecrets : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(fs::path(BRACKEN_BINARY_DIR) / "cli" / "bracken-cli")) {
      GTEST_SKIP() << "bracken-cli is not built";
    }
    dir_ = fs::temp_directory_path() / ("bracken_sig_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    FixtureTable table;
    table.name = "People";
    table.columns = {MakeColumn("ID", ColumnKind::Long),
                     MakeColumn("Name\x1b[2J", ColumnKind::Text, 50)};
    table.rows = {{int64_t{1}, std::string("Ann\x1b]0;x\x07")}};
    FixtureDatabase database;
    database.tables = {table};
    WriteJet4File(database, dir_ / "plain.mdb");
    database.password = "file-secret";
    WriteJet4File(database, dir_ / "locked.mdb");
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  std::string File(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

TEST_F(InterruptAndSecrets, AFifoIsRefusedAtOnce) {
  const fs::path fifo = dir_ / "pipe.mdb";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  CliChild convert(
      dir_, {"convert", fifo.string(), "--host", "127.0.0.1", "--user", "u", "--database", "d"});
  EXPECT_EQ(convert.Wait(5s), 3);
  EXPECT_EQ(convert.Errors(), "Message: Please select valid MS Access Database.\n");
  CliChild inspect(dir_, {"inspect", fifo.string()});
  EXPECT_EQ(inspect.Wait(5s), 3);
}

TEST_F(InterruptAndSecrets, ASilentServerIsGivenUpAndUsageErrorsNeverEchoAPassword) {
  TcpRelay silent;
  CliChild convert(
      dir_, {"convert", File("plain.mdb"), "--host", "127.0.0.1", "--user", "u", "--database", "d",
             "--password=x", "--port", std::to_string(silent.Port()), "--connect-timeout", "1"});
  EXPECT_EQ(convert.Wait(8s), 3);
  EXPECT_NE(convert.Errors().find("error to connect with MySQL"), std::string::npos);

  CliChild spaced(dir_, {"convert", File("plain.mdb"), "--host", "h", "--user", "u", "--database",
                         "d", "--password", "Hunter2Secret"});
  EXPECT_EQ(spaced.Wait(5s), 2);
  EXPECT_EQ(spaced.Errors().find("Hunter2Secret"), std::string::npos) << spaced.Errors();

  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--port", "0"},
                                              {"--port", "http"},
                                              {"--ssl-mode", "SOMETIMES"},
                                              {"--connect-timeout", "-1"}}) {
    std::vector<std::string> args = {"convert", File("plain.mdb"), "--host", "h", "--user",
                                     "u",       "--database",      "d"};
    args.insert(args.end(), bad.begin(), bad.end());
    CliChild child(dir_, args);
    EXPECT_EQ(child.Wait(5s), 2) << bad[0] << " " << bad[1];
  }
  CliChild environment(
      dir_, {"convert", File("plain.mdb"), "--host", "h", "--user", "u", "--database", "d"},
      {"MYSQL_TCP_PORT=seventy"});
  EXPECT_EQ(environment.Wait(5s), 2);
  EXPECT_NE(environment.Errors().find("MYSQL_TCP_PORT"), std::string::npos);
}

// Started in `dir` with core files allowed, as a careless shell would leave
// them; the status as waitpid gives it.
pid_t StartWithCores(const fs::path& dir, std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
    ::setrlimit(RLIMIT_CORE, &unlimited);
    const int quiet = ::open("/dev/null", O_RDWR);
    ::dup2(quiet, 0);
    ::dup2(quiet, 1);
    ::dup2(quiet, 2);
    // Under AddressSanitizer the crash must stay a crash, not its report.
    ::setenv("ASAN_OPTIONS", "handle_segv=0", 1);
    if (::chdir(dir.c_str()) == 0) ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

bool CoreWritten(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().filename().string().rfind("core", 0) == 0) return true;
  }
  return false;
}

TEST_F(InterruptAndSecrets, CommandLinePasswordsShowAsAFixedMarkAndACrashWritesNoCore) {
  TcpRelay silent;
  const std::string program = (fs::path(BRACKEN_BINARY_DIR) / "cli" / "bracken-cli").string();
  const std::vector<std::string> args = {program,
                                         "convert",
                                         File("locked.mdb"),
                                         "--host",
                                         "127.0.0.1",
                                         "--port",
                                         std::to_string(silent.Port()),
                                         "--user",
                                         "u",
                                         "--database",
                                         "d",
                                         "--connect-timeout",
                                         "20",
                                         "--password=Correct-Horse-Battery",
                                         "--mdb-password",
                                         "file-secret"};
  std::string expected;
  for (const std::string& arg : args) expected += (expected.empty() ? "" : " ") + arg;
  expected.replace(expected.find("Correct-Horse-Battery"), 21, "***");
  expected.replace(expected.find("file-secret"), 11, "***");
  expected += '\0';

  const fs::path cores = dir_ / "cores";
  fs::create_directories(cores);
  const pid_t pid = StartWithCores(cores, args);
  ASSERT_GT(pid, 0);
  // The program waits for the silent server's greeting meanwhile.
  std::string commandLine;
  for (int i = 0; i < 100 && commandLine != expected; ++i) {
    std::this_thread::sleep_for(50ms);
    commandLine = ReadAll("/proc/" + std::to_string(pid) + "/cmdline");
  }
  EXPECT_EQ(commandLine, expected) << "neither the passwords nor their lengths show";
  ::kill(pid, SIGSEGV);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_FALSE(WCOREDUMP(status));
  EXPECT_FALSE(CoreWritten(cores));

  // The same crash of a program that did not refuse core files writes one
  // here; where it does not, the check above proves nothing.
  const pid_t control = StartWithCores(cores, {"/bin/sleep", "30"});
  std::this_thread::sleep_for(200ms);
  ::kill(control, SIGSEGV);
  ASSERT_EQ(::waitpid(control, &status, 0), control);
  if (!WCOREDUMP(status)) GTEST_SKIP() << "this system writes no core files at all";
  fs::remove_all(cores);
}

TEST_F(InterruptAndSecrets, TheAccessPasswordComesFromTheEnvironmentAndInspectEscapes) {
  CliChild fromEnvironment(dir_, {"inspect", File("locked.mdb"), "--rows", "1"},
                           {"BRACKEN_MDB_PASSWORD=file-secret"});
  EXPECT_EQ(fromEnvironment.Wait(5s), 0) << fromEnvironment.Errors();
  const std::string output = fromEnvironment.Output();
  EXPECT_EQ(output.find('\x1b'), std::string::npos) << "no raw escape reaches the terminal";
  EXPECT_EQ(output.find('\x07'), std::string::npos);
  EXPECT_NE(output.find("Name\\x1b[2J"), std::string::npos) << output;
  EXPECT_NE(output.find("Ann\\x1b]0;x\\x07"), std::string::npos) << output;
  EXPECT_EQ(fromEnvironment.Errors(), "") << "no warning without a password on the command line";

  CliChild withoutPassword(dir_, {"inspect", File("locked.mdb")});
  EXPECT_EQ(withoutPassword.Wait(5s), 3) << "no terminal, so no prompt";
}

// Another client holds a table of the database the run must replace.
class LockedDestination : public InterruptAndSecrets {
 protected:
  void SetUp() override {
    InterruptAndSecrets::SetUp();
    if (IsSkipped()) return;
    auto server = TestServerFromEnvironment();
    if (!server) GTEST_SKIP() << kNoServerMessage;
    server_ = *server;
    holder_ = std::make_unique<ServerQuery>(server_);
    holder_->Execute("DROP DATABASE IF EXISTS " + db_);
    holder_->Execute("CREATE DATABASE " + db_);
    holder_->Execute("CREATE TABLE " + db_ + ".Held (x INT) ENGINE=MyISAM");
    holder_->Execute("LOCK TABLES " + db_ + ".Held WRITE");
  }
  void TearDown() override {
    if (holder_) {
      holder_->Execute("UNLOCK TABLES");
      holder_->Execute("DROP DATABASE IF EXISTS " + db_);
    }
    InterruptAndSecrets::TearDown();
  }
  std::vector<std::string> Arguments() const {
    return {"convert",
            File("locked.mdb"),
            "--host",
            server_.host,
            "--port",
            std::to_string(server_.port),
            "--user",
            server_.user,
            "--password=" + server_.password,
            "--mdb-password",
            "file-secret",
            "--database",
            db_,
            "--yes"};
  }

  TestServer server_;
  std::unique_ptr<ServerQuery> holder_;
  // Each test process has its own database: the cases may run side by side.
  const std::string db_ = "cli_lock_wait_" + std::to_string(::getpid());
};

TEST_F(LockedDestination, TheWaitIsToldWithoutPasswordsInTheProcessListAndCtrlCEndsIt) {
  CliChild child(dir_, Arguments());
  ASSERT_TRUE(child.WaitForError("waits for a lock held by another client", 15s)) << child.Errors();
  const std::string commandLine = child.CommandLine();
  EXPECT_EQ(commandLine.find(server_.password), std::string::npos);
  EXPECT_EQ(commandLine.find("file-secret"), std::string::npos);
  EXPECT_NE(commandLine.find("--password=***"), std::string::npos);
  const std::string warning = "a password on the command line can be seen by other users";
  const std::string errors = child.Errors();
  EXPECT_EQ(errors.find(warning), errors.rfind(warning)) << "warned once";
  EXPECT_NE(errors.find(warning), std::string::npos);

  child.Signal(SIGINT);
  EXPECT_EQ(child.Wait(5s), 1) << "the first Ctrl-C breaks the wait off";
  EXPECT_NE(child.Output().find(db_ + ": 0 of 1 tables converted"), std::string::npos)
      << child.Output();
  EXPECT_NE(child.Output().find("; stopped"), std::string::npos) << child.Output();
  EXPECT_EQ(holder_->Rows("SHOW TABLES FROM " + db_).size(), 1u) << "nothing dropped";
}

TEST_F(LockedDestination, TheRunGoesOnWhenTheLockGoes) {
  CliChild child(dir_, Arguments());
  ASSERT_TRUE(child.WaitForError("waits for a lock held by another client", 15s));
  holder_->Execute("UNLOCK TABLES");
  EXPECT_EQ(child.Wait(15s), 0) << child.Errors();
  EXPECT_NE(child.Errors().find("The wait for the lock is over."), std::string::npos);
  EXPECT_EQ(holder_->Value("SELECT COUNT(*) FROM " + db_ + ".People"), "1");
}

TEST_F(InterruptAndSecrets, ASecondCtrlCEndsTheProgramAtOnceWithTheSummary) {
  TcpRelay silent;
  CliChild child(dir_,
                 {"convert", File("plain.mdb"), "--host", "127.0.0.1", "--user", "u", "--database",
                  "twice", "--port", std::to_string(silent.Port())},
                 {"MYSQL_PWD=x"});
  std::this_thread::sleep_for(500ms);
  child.Signal(SIGINT);
  ASSERT_TRUE(child.WaitForError("press Ctrl-C again", 5s)) << child.Errors();
  EXPECT_EQ(child.Wait(300ms), -1) << "the first Ctrl-C waits for the server";
  child.Signal(SIGINT);
  EXPECT_EQ(child.Wait(3s), 1);
  EXPECT_EQ(child.Output(),
            "twice: 0 of 1 tables converted, 0 of 0 rows refused; ended at once by a second "
            "Ctrl-C\n");
}

}  // namespace
}  // namespace bracken::testing
