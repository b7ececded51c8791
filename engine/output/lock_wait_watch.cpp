#include "engine/output/lock_wait_watch.h"

#include <algorithm>

#include "engine/control_ids.h"

namespace bracken::engine {

namespace {

// The probe's own questions are short; a server that does not answer them
// within this time is taken as not waiting.
constexpr unsigned int kProbeTimeoutSeconds = 5;

}  // namespace

bool IsLockWaitState(const std::string& state) {
  return state.rfind("Waiting for ", 0) == 0 && state.find("lock") != std::string::npos;
}

namespace {

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::string Lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

// The servers spell their states in different cases ("Waiting for ..." in
// MariaDB, "waiting for handler commit" in MySQL 8); Galera's states begin
// with "wsrep" or name its flow control.
std::string ServerWaitText(const std::string& state) {
  const std::string lowered = Lowered(state);
  if (Has(lowered, "free space") || Has(lowered, "disk space") || Has(lowered, "disk full")) {
    return kDiskFullWaitText;
  }
  if (Has(lowered, "global read lock") || Has(lowered, "commit lock") ||
      Has(lowered, "backup lock")) {
    return kGlobalReadLockWaitText;
  }
  if (IsLockWaitState(state)) return kLockWaitText;
  if (Has(lowered, "table flush") || lowered == "waiting for tables") return kTableFlushWaitText;
  if (Has(lowered, "semi-sync") || Has(lowered, "semisync")) return kReplicaWaitText;
  if (Has(lowered, "flow control") || Has(lowered, "flow_control") ||
      (lowered.rfind("wsrep", 0) == 0 && Has(lowered, "wait"))) {
    return kClusterWaitText;
  }
  // Galera certifies every write in moments; one that waits seconds waits
  // for the cluster to agree on its members.
  if (Has(lowered, "certification") || Has(lowered, "certifying")) {
    return kClusterCertificationWaitText;
  }
  // A commit that takes long is the server's own work, not a wait.
  if (Has(lowered, "handler commit")) return "";
  if (lowered.rfind("waiting for ", 0) == 0 || lowered.rfind("waiting on ", 0) == 0) {
    return std::string(kWaitNoticeStart) + " while the MySQL server reports \"" + state + "\"...";
  }
  return "";
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

std::string ServerLockProbe::SessionState(std::uint64_t connectionId) {
  if (!Open()) return "";
  auto rows = connection_.QueryRows("SELECT STATE FROM information_schema.PROCESSLIST WHERE ID = " +
                                    std::to_string(connectionId));
  if (!rows) {
    if (connection_.LastErrorWasConnectionLost()) connection_.Close();
    return "";
  }
  return rows->empty() || rows->front().empty() ? "" : rows->front().front();
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

target::LocalLoadResult LockWaitWatch::LoadFromStream(const std::string& statement,
                                                      target::LocalLoadStream& stream,
                                                      target::LocalLoadCounts& counts) {
  Begin();
  const target::LocalLoadResult result = inner_.LoadFromStream(statement, stream, counts);
  End();
  return result;
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

std::optional<long long> LockWaitWatch::CountRowsWhere(const std::string& quotedName,
                                                       const std::string& condition) {
  Begin();
  std::optional<long long> count = inner_.CountRowsWhere(quotedName, condition);
  End();
  return count;
}

// Begin and End only note the statement: the watch's thread looks at it
// on its own ticks, so a quick statement costs no wake-up.
void LockWaitWatch::Begin() {
  // The rows of this statement are counted as sent already; that count must
  // be seen by a summary taken as the program ends at once, or this
  // statement must not start (the process ends within moments).
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (context_ != nullptr && context_->endingAtOnce.load()) {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
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
  if (!shownNotice_.empty() && owner_ != nullptr) {
    owner_->SetControlText(control::kPleaseWaitLabel, kPleaseWaitText);
  }
  shownNotice_.clear();
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

// True when the statement was broken off. A wait that turns into another
// (the global read lock gone, a table's lock next) is told anew.
bool LockWaitWatch::Look(std::uint64_t statement, std::uint64_t connectionId) {
  if (connectionId == 0) return false;
  const std::string notice = ServerWaitText(probe_.SessionState(connectionId));
  std::lock_guard<std::mutex> act(actMutex_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_ || statement_ != statement) return false;
  }
  if (notice.empty()) {
    // The wait is over while the statement goes on with its work.
    if (!shownNotice_.empty() && owner_ != nullptr) {
      owner_->SetControlText(control::kPleaseWaitLabel, kPleaseWaitText);
    }
    shownNotice_.clear();
    return false;
  }
  if (StopRequested()) {
    // The run ends as stopped whatever the statement answers now.
    context_->stoppedDuringWait = true;
    probe_.BreakOff(connectionId);
    return true;
  }
  if (notice != shownNotice_ && owner_ != nullptr) {
    owner_->SetControlText(control::kPleaseWaitLabel, notice);
    shownNotice_ = notice;
  }
  return false;
}

}  // namespace bracken::engine
