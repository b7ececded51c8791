#pragma once

// Runs a request of the conversion worker on the thread that owns the
// window, and waits until it has been carried out. Called on that thread
// itself, the request simply runs.

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <type_traits>
#include <utility>

namespace bracken::ui {

template <typename Request>
auto CallOnInterfaceThread(QObject* window, Request&& request) -> decltype(request()) {
  using Result = decltype(request());
  if (QThread::currentThread() == window->thread()) return request();
  if constexpr (std::is_void_v<Result>) {
    QMetaObject::invokeMethod(window, std::forward<Request>(request), Qt::BlockingQueuedConnection);
  } else {
    Result result{};
    QMetaObject::invokeMethod(
        window, [&result, &request] { result = request(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

}  // namespace bracken::ui
