#pragma once

// Ctrl-C in a terminal, and SIGTERM from a service manager or `kill`: both
// are blocked in every thread and taken by a thread of its own with
// sigtimedwait, so whatever they do is ordinary code, not a signal handler,
// and works while the run waits on the server.

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace bracken::cli {

struct InterruptHooks {
  std::function<void()> first;   // the first SIGINT
  std::function<void()> tick;    // every few milliseconds after the first
  std::function<void()> second;  // the second SIGINT; should not return
  // SIGTERM, at any time; should not return. Without it SIGTERM is taken as
  // a second SIGINT.
  std::function<void()> terminate;
};

class InterruptWatch {
 public:
  // Blocks SIGINT and SIGTERM in the calling thread, so in every thread it starts later,
  // and starts the watching thread.
  explicit InterruptWatch(InterruptHooks hooks);
  // Ends the watching thread and restores the signal mask.
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  bool Interrupted() const { return interrupted_; }

 private:
  void Run();

  InterruptHooks hooks_;
  sigset_t saved_{};
  std::atomic<bool> quit_{false};
  std::atomic<bool> interrupted_{false};
  std::thread thread_;
};

}  // namespace bracken::cli
