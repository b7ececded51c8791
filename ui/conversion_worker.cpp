#include "ui/conversion_worker.h"

namespace bracken::ui {

ConversionWorker::~ConversionWorker() {
  if (!thread_.joinable()) return;
  // A finished thread is only collected; a running one is left to the end of
  // the process, which is the only time a run is abandoned.
  if (IsRunning()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

bool ConversionWorker::Start(std::function<void()> body) {
  if (IsRunning()) return false;
  if (thread_.joinable()) thread_.join();  // the earlier run has returned
  running_ = std::make_shared<std::atomic<bool>>(true);
  thread_ = std::thread([running = running_, body = std::move(body)] {
    body();
    running->store(false);
  });
  return true;
}

}  // namespace bracken::ui
