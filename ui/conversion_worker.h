#pragma once

// The thread of one conversion. A new run may start once the previous one
// has returned; a run still going when the program ends is not waited for.

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace bracken::ui {

class ConversionWorker {
 public:
  ConversionWorker() = default;
  ~ConversionWorker();
  ConversionWorker(const ConversionWorker&) = delete;
  ConversionWorker& operator=(const ConversionWorker&) = delete;

  // Starts body on a new thread; false (and nothing started) while an
  // earlier run is still going.
  bool Start(std::function<void()> body);
  bool IsRunning() const { return running_ && running_->load(); }

 private:
  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> running_;
};

}  // namespace bracken::ui
