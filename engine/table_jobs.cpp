#include "engine/table_jobs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "engine/schema/identifier.h"

namespace bracken::engine {

namespace {

// How often the run looks at its stop request while the jobs work.
constexpr auto kStopLookInterval = std::chrono::milliseconds(20);

constexpr const char* kFewerJobsNotice =
    "Another connection to the MySQL server could not be opened; fewer tables are copied at once.";

// An owner call held back until its table's turn.
struct HeldCall {
  enum class Kind { Message, Refusal, ReportLine, Notice };
  Kind kind;
  std::string text;
  std::string caption;
  std::string where;
  MessageIcon icon = MessageIcon::None;
};

// The owner a job works with. The report's lines, messages, refused rows and
// notices wait for the table's turn; every other call reaches the run's
// owner at once, one call at a time (`ownerMutex` is held for each).
class JobOwner : public ConversionOwner {
 public:
  JobOwner(ConversionOwner& owner, std::mutex& ownerMutex)
      : owner_(owner), ownerMutex_(ownerMutex) {}

  MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                            MessageButtons buttons, MessageIcon icon) override {
    if (buttons == MessageButtons::Ok) {
      Hold({HeldCall::Kind::Message, text, caption, "", icon});
      return MessageAnswer::Ok;
    }
    std::lock_guard<std::mutex> lock(ownerMutex_);
    return owner_.ShowMessage(text, caption, buttons, icon);
  }
  void ShowRowRefusal(const std::string& text, const std::string& caption,
                      const std::string& where) override {
    Hold({HeldCall::Kind::Refusal, text, caption, where, MessageIcon::None});
  }
  void ReportLine(const std::string& line) override {
    Hold({HeldCall::Kind::ReportLine, line, "", "", MessageIcon::None});
  }
  void Notice(const std::string& line) override {
    Hold({HeldCall::Kind::Notice, line, "", "", MessageIcon::None});
  }

  void SetControlVisible(int id, bool visible) override {
    Pass([&] { owner_.SetControlVisible(id, visible); });
  }
  void SetControlEnabled(int id, bool enabled) override {
    Pass([&] { owner_.SetControlEnabled(id, enabled); });
  }
  void SetControlText(int id, const std::string& text) override {
    Pass([&] { owner_.SetControlText(id, text); });
  }
  std::string ControlText(int id) override {
    std::lock_guard<std::mutex> lock(ownerMutex_);
    return owner_.ControlText(id);
  }
  void SetChecked(int id, bool checked) override {
    Pass([&] { owner_.SetChecked(id, checked); });
  }
  int ListItemCount(int listId) override {
    std::lock_guard<std::mutex> lock(ownerMutex_);
    return owner_.ListItemCount(listId);
  }
  bool ListItemChecked(int listId, int row) override {
    std::lock_guard<std::mutex> lock(ownerMutex_);
    return owner_.ListItemChecked(listId, row);
  }
  void SetListItemChecked(int listId, int row, bool checked) override {
    Pass([&] { owner_.SetListItemChecked(listId, row, checked); });
  }
  std::vector<std::string> SelectedTableNames() override {
    std::lock_guard<std::mutex> lock(ownerMutex_);
    return owner_.SelectedTableNames();
  }
  void SetProgressRange(int id, int low, int high) override {
    Pass([&] { owner_.SetProgressRange(id, low, high); });
  }
  void SetProgressStep(int id, int step) override {
    Pass([&] { owner_.SetProgressStep(id, step); });
  }
  void SetProgressPosition(int id, int position) override {
    Pass([&] { owner_.SetProgressPosition(id, position); });
  }
  void StepProgress(int id) override {
    Pass([&] { owner_.StepProgress(id); });
  }
  void SetCaption(const std::string& caption) override {
    Pass([&] { owner_.SetCaption(caption); });
  }
  void StartTimer(int id, int periodMs) override {
    Pass([&] { owner_.StartTimer(id, periodMs); });
  }
  void StopTimer(int id) override {
    Pass([&] { owner_.StopTimer(id); });
  }
  void ShowReport(const std::string& message, const std::vector<std::string>& lines) override {
    Pass([&] { owner_.ShowReport(message, lines); });
  }
  void TableRowsFound(const std::string& table, long rows) override {
    Pass([&] { owner_.TableRowsFound(table, rows); });
  }

  // The calls held back since the last take, in order.
  std::vector<HeldCall> TakeHeld() {
    std::lock_guard<std::mutex> lock(heldMutex_);
    return std::exchange(held_, {});
  }

 private:
  template <typename Call>
  void Pass(Call call) {
    std::lock_guard<std::mutex> lock(ownerMutex_);
    call();
  }
  void Hold(HeldCall call) {
    std::lock_guard<std::mutex> lock(heldMutex_);
    held_.push_back(std::move(call));
  }

  ConversionOwner& owner_;
  std::mutex& ownerMutex_;
  std::mutex heldMutex_;
  std::vector<HeldCall> held_;
};

// Passes a table's held calls on. A notice said before in the run (a job
// that found LOAD DATA refused as another had) is not said again.
void PassOn(ConversionOwner& owner, const std::vector<HeldCall>& calls,
            std::set<std::string>& notices) {
  for (const HeldCall& call : calls) {
    switch (call.kind) {
      case HeldCall::Kind::Message:
        owner.ShowMessage(call.text, call.caption, MessageButtons::Ok, call.icon);
        break;
      case HeldCall::Kind::Refusal:
        owner.ShowRowRefusal(call.text, call.caption, call.where);
        break;
      case HeldCall::Kind::ReportLine:
        owner.ReportLine(call.text);
        break;
      case HeldCall::Kind::Notice:
        if (notices.insert(call.text).second) owner.Notice(call.text);
        break;
    }
  }
}

}  // namespace

// The jobs of one run and the tables' results waiting for their turn.
class TableJobs {
 public:
  TableJobs(ConversionOwner& owner, ConversionContext& run, const std::vector<std::string>& tables,
            std::string database, const TableConversion& convert)
      : owner_(owner),
        run_(run),
        tables_(tables),
        database_(std::move(database)),
        convert_(convert),
        results_(tables.size()),
        loadData_(run.batching.loadData) {}

  JobsEnding Run(const TableEnd& tableEnd);
  ConversionSummary EndAtOnce();

 private:
  struct Job {
    std::unique_ptr<JobOwner> owner;
    std::unique_ptr<JobSession> session;
    std::unique_ptr<ConversionContext> context;
    std::thread thread;
  };
  // A table's end as its job left it. Passed: its counts are in the run's.
  struct Result {
    bool done = false;
    bool passed = false;
    TableStep step = TableStep::Failed;
    std::string failure;
    bool stopAsked = false;
    bool stoppedDuringWait = false;
    ConversionSummary summary;
    std::vector<HeldCall> held;
    std::vector<TablePlan> converted;
  };

  bool Open(Job& job);
  void Work(Job& job);
  void PassOnResult(std::size_t index, const TableEnd& tableEnd, std::set<std::string>& notices);

  ConversionOwner& owner_;
  ConversionContext& run_;
  const std::vector<std::string>& tables_;
  const std::string database_;
  const TableConversion& convert_;

  // Guards what follows, and each job's session and context pointers.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Result> results_;
  std::size_t next_ = 0;  // the next table to hand out
  int working_ = 0;       // jobs not yet ended
  int opened_ = 0;        // jobs that opened a session
  bool stop_ = false;
  bool endingAtOnce_ = false;
  bool loadData_;  // false once a job's server refused LOAD DATA
  bool fewerJobsTold_ = false;
  std::vector<std::unique_ptr<Job>> jobs_;

  // Held for every call that reaches the run's owner while the jobs work.
  std::mutex ownerMutex_;
};

// A new session for the job, replacing a lost one, with a context set up as
// the run's: its settings, the given names, and USE of the database. False
// when it cannot be opened.
bool TableJobs::Open(Job& job) {
  std::unique_ptr<JobSession> session = run_.openJob();
  if (!session) {
    std::lock_guard<std::mutex> lock(ownerMutex_);
    if (!std::exchange(fewerJobsTold_, true)) owner_.Notice(kFewerJobsNotice);
    return false;
  }
  auto context = std::make_unique<ConversionContext>(session->Executor(), session->Source());
  context->textCollation = run_.textCollation;
  context->extendedTextCollation = run_.extendedTextCollation;
  context->batching = run_.batching;
  context->carryRules = run_.carryRules;
  context->carryQueries = run_.carryQueries;
  context->oleObjects = run_.oleObjects;
  context->keysAfterRows = run_.keysAfterRows;
  context->engine = run_.engine;
  context->addRowKeys = run_.addRowKeys;
  context->extendedRelationshipColumns = run_.extendedRelationshipColumns;
  context->givenTableNames = run_.givenTableNames;
  std::unique_ptr<JobSession> lostSession;
  std::unique_ptr<ConversionContext> lostContext;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    context->endingAtOnce = endingAtOnce_;
    context->stopRequested = stop_;
    context->batching.loadData = loadData_;
    lostSession = std::exchange(job.session, std::move(session));
    lostContext = std::exchange(job.context, std::move(context));
  }
  // The lost session's watch ends before the context it watched.
  if (lostContext) lostContext->recordset.reset();
  lostSession.reset();
  lostContext.reset();
  job.session->Attach(*job.owner, *job.context);
  if (!job.context->executor.Execute("USE " + QuoteIdentifier(database_))) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  ++opened_;
  return true;
}

void TableJobs::Work(Job& job) {
  bool open = Open(job);
  while (open) {
    std::size_t index = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stop_ || endingAtOnce_ || next_ >= tables_.size()) break;
      index = next_++;
    }
    ConversionContext& context = *job.context;
    context.keyState.Clear();
    context.convertedTables.clear();
    // CHECK constraint names are claimed per table, so they never depend
    // on which tables a job had before.
    context.constraintNames.clear();
    std::string failure;
    const TableStep step = convert_(*job.owner, context, tables_[index], failure);
    const bool lost = step == TableStep::Failed && context.executor.LastErrorWasConnectionLost();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Result& result = results_[index];
      result.done = true;
      result.step = step;
      result.failure = std::move(failure);
      result.stopAsked = context.stopRequested || stop_;
      result.stoppedDuringWait = context.stoppedDuringWait;
      result.summary = std::exchange(context.summary, ConversionSummary{});
      result.held = job.owner->TakeHeld();
      result.converted = std::move(context.convertedTables);
      if (!context.batching.loadData) loadData_ = false;
      if (step == TableStep::Stopped || context.stoppedDuringWait) stop_ = true;
    }
    changed_.notify_all();
    // A job whose session was lost goes on with a new one.
    if (lost) open = Open(job);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    --working_;
  }
  changed_.notify_all();
}

// The table's lines, then its end as the run sees it, on the run's thread.
void TableJobs::PassOnResult(std::size_t index, const TableEnd& tableEnd,
                             std::set<std::string>& notices) {
  Result result;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Result& held = results_[index];
    result = std::exchange(held, Result{});
    held.done = true;
    held.passed = true;
    // The counts join the run's under the lock a summary taken at once reads.
    run_.summary.AddCounts(result.summary);
    if (result.step == TableStep::Converted && !result.stopAsked) ++run_.summary.tablesConverted;
  }
  if (result.stoppedDuringWait) run_.stoppedDuringWait = true;
  for (TablePlan& plan : result.converted) run_.convertedTables.push_back(std::move(plan));
  std::lock_guard<std::mutex> lock(ownerMutex_);
  PassOn(owner_, result.held, notices);
  tableEnd(tables_[index], result.step, result.failure, result.stopAsked);
}

JobsEnding TableJobs::Run(const TableEnd& tableEnd) {
  const int count = std::max(1, std::min(run_.jobs, static_cast<int>(tables_.size())));
  {
    std::lock_guard<std::mutex> lock(run_.jobsMutex);
    run_.activeJobs = this;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = run_.stopRequested || run_.stoppedDuringWait;
    working_ = count;
    for (int i = 0; i < count; ++i) {
      auto job = std::make_unique<Job>();
      job->owner = std::make_unique<JobOwner>(owner_, ownerMutex_);
      jobs_.push_back(std::move(job));
    }
  }
  for (auto& job : jobs_) job->thread = std::thread([this, &job] { Work(*job); });

  std::set<std::string> notices;
  std::size_t passed = 0;
  for (;;) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, kStopLookInterval, [&] {
      return (passed < results_.size() && results_[passed].done) || working_ == 0;
    });
    // A stop reaches every job, and again while it lasts: a table's copy
    // clears its request as it starts.
    if (run_.stopRequested || run_.stoppedDuringWait) stop_ = true;
    if (stop_) {
      for (auto& job : jobs_) {
        if (job->context) job->context->stopRequested = true;
      }
    }
    if (passed < results_.size() && results_[passed].done) {
      lock.unlock();
      PassOnResult(passed++, tableEnd, notices);
      continue;
    }
    if (working_ == 0) break;
  }
  for (auto& job : jobs_) job->thread.join();
  {
    std::lock_guard<std::mutex> lock(run_.jobsMutex);
    run_.activeJobs = nullptr;
  }
  for (auto& job : jobs_) {
    if (job->context) job->context->recordset.reset();
    job->session.reset();
  }
  if (passed == tables_.size()) return JobsEnding::Completed;
  if (opened_ == 0) return JobsEnding::NoJobs;
  return stop_ || endingAtOnce_ ? JobsEnding::Stopped : JobsEnding::SessionsLost;
}

ConversionSummary TableJobs::EndAtOnce() {
  std::lock_guard<std::mutex> lock(mutex_);
  endingAtOnce_ = true;
  run_.endingAtOnce = true;
  for (auto& job : jobs_) {
    if (job->context) job->context->endingAtOnce = true;
  }
  // Each job's statements look at the flag before they start (see
  // ConversionContext::endingAtOnce); the counts read after it include
  // every row that can still arrive.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  ConversionSummary summary = run_.summary;
  for (const Result& result : results_) {
    if (result.done && !result.passed) summary.AddCounts(result.summary);
  }
  for (auto& job : jobs_) {
    if (job->context) summary.AddCounts(job->context->summary);
  }
  return summary;
}

void GiveOutTableNames(ConversionContext& context, const std::vector<std::string>& tables) {
  context.givenTableNames.clear();
  for (const std::string& table : tables) {
    context.givenTableNames[table] = context.tableNames.Claim(table, "Table");
    std::vector<std::string> children;
    try {
      children = context.source.ChildTables(table);
    } catch (const source::SourceError&) {
      // The table's own step names what cannot be read.
    }
    for (const std::string& child : children) {
      context.givenTableNames[child] = context.tableNames.Claim(child, "Table");
    }
  }
}

JobsEnding CopyTablesInJobs(ConversionOwner& owner, ConversionContext& context,
                            const std::vector<std::string>& tables, const std::string& database,
                            const TableConversion& convert, const TableEnd& tableEnd) {
  TableJobs jobs(owner, context, tables, database, convert);
  return jobs.Run(tableEnd);
}

ConversionSummary EndingAtOnceSummary(ConversionContext& context) {
  std::lock_guard<std::mutex> lock(context.jobsMutex);
  if (context.activeJobs != nullptr) return context.activeJobs->EndAtOnce();
  context.endingAtOnce = true;
  return context.summary;
}

}  // namespace bracken::engine
