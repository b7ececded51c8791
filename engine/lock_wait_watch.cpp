#include "engine/lock_wait_watch.h"

#include <algorithm>

#include "engine/control_ids.h"

namespace bracken::engine {

namespace {

// The probe's own questions are short; a server that does not answer them
// within this time is taken as not waiting for a lock.
constexpr unsigned int kProbeTimeoutSeconds = 5;

}  // namespace

bool IsLockWaitState(const std::string& state) {
  return state.rfind("Waiting for ", 0) == 0 && state.find("lock") != std::string::npos;
}

ServerLockProbe::ServerLockProbe(std::string host, std::string login, std::string password,
                                 target::ConnectOptions options)
    : host_(std::move(host)),
      login_(std::move(login)),
      password_(std::move(password)),
      options_(std::move(options)) {
  options_.connectTimeoutSeconds = std::min(options_.connectTimeoutSeconds, kProbeTimeoutSeconds);
  options_.readTimeoutSeconds = kProbeTimeoutSeconds;
  options_.writeTimeoutSeconds = kProbeTimeoutSeconds;
}

bool ServerLockProbe::Open() {
  if (connection_.IsOpen()) return true;
  return connection_.Connect(host_, login_, password_, options_) ==
         target::MySqlConnection::ConnectResult::Connected;
}

bool ServerLockProbe::WaitsForLock(std::uint64_t connectionId) {
  if (!Open()) return false;
  auto rows = connection_.QueryRows("SELECT STATE FROM information_schema.PROCESSLIST WHERE ID = " +
                                    std::to_string(connectionId));
  if (!rows) {
    if (connection_.LastErrorWasConnectionLost()) connection_.Close();
    return false;
  }
  return !rows->empty() && !rows->front().empty() && IsLockWaitState(rows->front().front());
}

void ServerLockProbe::BreakOff(std::uint64_t connectionId) {
  if (Open()) connection_.Execute("KILL QUERY " + std::to_string(connectionId));
}

LockWaitWatch::LockWaitWatch(StatementExecutor& inner, LockProbe& probe, LockWaitTiming timing)
    : inner_(inner), probe_(probe), timing_(timing), thread_([this] { Run(); }) {}

LockWaitWatch::~LockWaitWatch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void LockWaitWatch::Attach(ConversionOwner& owner, ConversionContext& context) {
  std::lock_guard<std::mutex> act(actMutex_);
  std::lock_guard<std::mutex> lock(mutex_);
  owner_ = &owner;
  context_ = &context;
}

bool LockWaitWatch::Execute(const std::string& statement) {
  Begin();
  bool done = inner_.Execute(statement);
  End();
  return done;
}

bool LockWaitWatch::ExecuteWithLongValues(const std::string& statementWithPlaceholders,
                                          const std::vector<std::string_view>& values) {
  Begin();
  bool done = inner_.ExecuteWithLongValues(statementWithPlaceholders, values);
  End();
  return done;
}

void LockWaitWatch::StartStatement(const std::string& statement) {
  Begin();
  inner_.StartStatement(statement);
}

bool LockWaitWatch::FinishStatement() {
  bool done = inner_.FinishStatement();
  End();
  return done;
}

std::optional<long long> LockWaitWatch::CountRows(const std::string& quotedName) {
  Begin();
  std::optional<long long> count = inner_.CountRows(quotedName);
  End();
  return count;
}

// Begin and End only note the statement: the watch's thread looks at it
// on its own ticks, so a quick statement costs no wake-up.
void LockWaitWatch::Begin() {
  std::lock_guard<std::mutex> act(actMutex_);
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = true;
  ++statement_;
  started_ = std::chrono::steady_clock::now();
}

// The waiting label gets its usual text back once the wait is over.
void LockWaitWatch::End() {
  std::lock_guard<std::mutex> act(actMutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
  }
  if (noticeShown_ && owner_ != nullptr) {
    owner_->SetControlText(control::kPleaseWaitLabel, kPleaseWaitText);
  }
  noticeShown_ = false;
}

bool LockWaitWatch::StopRequested() const {
  return context_ != nullptr && context_->stopRequested.load();
}

// Every interval: a statement past the threshold, or any statement once a
// stop is asked, is looked at on the server.
void LockWaitWatch::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::uint64_t broken = 0;  // the statement last broken off
  while (!quit_) {
    changed_.wait_for(lock, timing_.interval, [this] { return quit_; });
    if (quit_ || !running_ || statement_ == broken) continue;
    const bool due = std::chrono::steady_clock::now() - started_ >= timing_.threshold;
    if (!due && !StopRequested()) continue;
    const std::uint64_t statement = statement_;
    lock.unlock();
    if (Look(statement, inner_.Traits().connectionId)) broken = statement;
    lock.lock();
  }
}

// True when the statement was broken off.
bool LockWaitWatch::Look(std::uint64_t statement, std::uint64_t connectionId) {
  if (connectionId == 0 || !probe_.WaitsForLock(connectionId)) return false;
  std::lock_guard<std::mutex> act(actMutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_ || statement_ != statement) return false;
  }
  if (StopRequested()) {
    // The run ends as stopped whatever the statement answers now.
    context_->stoppedDuringWait = true;
    probe_.BreakOff(connectionId);
    return true;
  }
  if (!noticeShown_ && owner_ != nullptr) {
    owner_->SetControlText(control::kPleaseWaitLabel, kLockWaitText);
    noticeShown_ = true;
  }
  return false;
}

}  // namespace bracken::engine
