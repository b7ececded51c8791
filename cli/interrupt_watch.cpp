#include "cli/interrupt_watch.h"

#include <pthread.h>

#include <ctime>

namespace bracken::cli {

namespace {

constexpr long kTickNanoseconds = 20'000'000;

sigset_t InterruptSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

InterruptWatch::InterruptWatch(InterruptHooks hooks) : hooks_(std::move(hooks)) {
  sigset_t set = InterruptSet();
  pthread_sigmask(SIG_BLOCK, &set, &saved_);
  thread_ = std::thread([this] { Run(); });
}

InterruptWatch::~InterruptWatch() {
  quit_ = true;
  thread_.join();
  pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

void InterruptWatch::Run() {
  const sigset_t set = InterruptSet();
  const timespec tick{0, kTickNanoseconds};
  while (!quit_) {
    const int signal = sigtimedwait(&set, nullptr, &tick);
    if (signal == SIGTERM) {
      interrupted_ = true;
      if (hooks_.terminate) {
        hooks_.terminate();
      } else if (hooks_.second) {
        hooks_.second();
      }
    } else if (signal == SIGINT) {
      if (interrupted_.exchange(true)) {
        if (hooks_.second) hooks_.second();
      } else if (hooks_.first) {
        hooks_.first();
      }
    }
    if (interrupted_ && hooks_.tick) hooks_.tick();
  }
}

}  // namespace bracken::cli
