#pragma once

// bracken-cli as a child process of a test: started with standard input from
// /dev/null and its output in files, so that the test can read it while the
// program runs and send it signals.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace bracken::testing {

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// MYSQL_PWD is not passed on; `env` adds entries to the environment.
class CliChild {
 public:
  CliChild(const std::filesystem::path& dir, std::vector<std::string> args,
           std::vector<std::string> env = {})
      : out_(dir / "out.txt"), err_(dir / "err.txt") {
    args.insert(args.begin(),
                (std::filesystem::path(BRACKEN_BINARY_DIR) / "cli" / "bracken-cli").string());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    for (char** e = environ; *e != nullptr; ++e) {
      if (std::string(*e).rfind("MYSQL_PWD=", 0) != 0) env.push_back(*e);
    }
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
  }
  CliChild(const CliChild&) = delete;
  CliChild& operator=(const CliChild&) = delete;
  ~CliChild() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  void Signal(int signal) { ::kill(pid_, signal); }
  // The exit status, or -1 when it has not ended within `limit`.
  int Wait(std::chrono::milliseconds limit) {
    for (auto end = std::chrono::steady_clock::now() + limit;
         std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
    }
    return -1;
  }
  bool WaitForError(const std::string& text, std::chrono::milliseconds limit) {
    for (auto end = std::chrono::steady_clock::now() + limit;
         std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
      if (Errors().find(text) != std::string::npos) return true;
    }
    return false;
  }
  std::string CommandLine() const { return ReadAll("/proc/" + std::to_string(pid_) + "/cmdline"); }
  std::string Output() const { return ReadAll(out_); }
  std::string Errors() const { return ReadAll(err_); }

 private:
  std::filesystem::path out_, err_;
  pid_t pid_ = -1;
  bool exited_ = false;
};

}  // namespace bracken::testing
