// A run that meets a lock another client holds, or another wait on the
// server: it says so after a moment, naming the wait, goes on when the lock
// goes, and a stop breaks the wait off.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "engine/control_ids.h"
#include "engine/conversion_run.h"
#include "engine/output/lock_wait_watch.h"
#include "target/mysql_connection.h"
#include "tests/support/fake_source.h"
#include "tests/support/recording_owner.h"
#include "tests/support/server_query.h"
#include "tests/support/test_server.h"

namespace bracken::engine {
namespace {

using namespace std::chrono_literals;

// The watch speaks from its own thread; only the waiting label is kept.
class WaitRecordingOwner : public testing::RecordingOwner {
 public:
  void SetControlText(int id, const std::string& text) override {
    if (id != control::kPleaseWaitLabel) return RecordingOwner::SetControlText(id, text);
    std::lock_guard<std::mutex> lock(mutex_);
    waitTexts_.push_back(text);
  }
  std::vector<std::string> WaitTexts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return waitTexts_;
  }
  bool WaitUntilNotice(std::chrono::milliseconds limit) {
    return WaitUntilNotice(kLockWaitText, limit);
  }
  bool WaitUntilNotice(const std::string& notice, std::chrono::milliseconds limit) {
    for (auto end = std::chrono::steady_clock::now() + limit;
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms)) {
      auto texts = WaitTexts();
      if (!texts.empty() && texts.back() == notice) return true;
    }
    return false;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> waitTexts_;
};

class LockWaitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto server = testing::TestServerFromEnvironment();
    if (!server) GTEST_SKIP() << testing::kNoServerMessage;
    server_ = *server;
    holder_ = std::make_unique<testing::ServerQuery>(server_);
    holder_->Execute("DROP DATABASE IF EXISTS " + db_);
    holder_->Execute("CREATE DATABASE " + db_);
    holder_->Execute("CREATE TABLE " + db_ + ".Held (x INT) ENGINE=MyISAM");
    // Another client holds the table: DROP DATABASE must wait for it.
    holder_->Execute("LOCK TABLES " + db_ + ".Held WRITE");
    testing::FakeTable table;
    table.columns = {{{"ID", 3, 4, 0, 0}, {}}};
    table.rows = {{source::Variant::Long(1)}};
    source_.tables["Numbers"] = table;
    target::ConnectOptions options;
    options.port = static_cast<unsigned int>(server_.port);
    ASSERT_EQ(connection_.Connect(server_.host, server_.user, server_.password, options),
              target::MySqlConnection::ConnectResult::Connected);
    probe_ =
        std::make_unique<ServerLockProbe>(server_.host, server_.user, server_.password, options);
    owner_.SetTables({"Numbers"}, {true});
    owner_.SetDestinationName(db_);
  }
  void TearDown() override {
    if (!holder_) return;
    holder_->Execute("UNLOCK TABLES");
    holder_->Execute("DROP DATABASE IF EXISTS " + db_);
  }

  // Starts the run on a worker, as the window does.
  std::future<ConversionSummary> Start(ConversionContext& context) {
    return std::async(std::launch::async, [&] { return RunConversion(owner_, context); });
  }

  testing::TestServer server_;
  std::unique_ptr<testing::ServerQuery> holder_;
  // Each test process has its own database: the cases may run side by side.
  const std::string db_ = "eng_lock_wait_" + std::to_string(::getpid());
  testing::FakeSource source_;
  target::MySqlConnection connection_;
  std::unique_ptr<ServerLockProbe> probe_;
  WaitRecordingOwner owner_;
  const LockWaitTiming timing_{200ms, 50ms};
};

TEST_F(LockWaitTest, TheWaitIsToldAndTheRunGoesOnWhenTheLockGoes) {
  MySqlStatementExecutor executor(connection_);
  LockWaitWatch watch(executor, *probe_, timing_);
  ConversionContext context(watch, source_);
  watch.Attach(owner_, context);
  auto run = Start(context);
  ASSERT_TRUE(owner_.WaitUntilNotice(10s)) << "no notice of the wait";
  EXPECT_EQ(run.wait_for(0ms), std::future_status::timeout) << "the run still waits";
  holder_->Execute("UNLOCK TABLES");
  ASSERT_EQ(run.wait_for(20s), std::future_status::ready);
  ConversionSummary summary = run.get();
  EXPECT_EQ(summary.ending, RunEnding::Completed);
  EXPECT_EQ(summary.tablesConverted, 1);
  EXPECT_EQ(owner_.WaitTexts(), (std::vector<std::string>{kLockWaitText, kPleaseWaitText}));
  EXPECT_EQ(holder_->Value("SELECT COUNT(*) FROM " + db_ + ".Numbers"), "1");
}

TEST_F(LockWaitTest, AStopBreaksTheWaitOffAndTheRunEndsStopped) {
  MySqlStatementExecutor executor(connection_);
  LockWaitWatch watch(executor, *probe_, timing_);
  ConversionContext context(watch, source_);
  watch.Attach(owner_, context);
  auto run = Start(context);
  ASSERT_TRUE(owner_.WaitUntilNotice(10s));
  const auto asked = std::chrono::steady_clock::now();
  context.stopRequested = true;
  ASSERT_EQ(run.wait_for(10s), std::future_status::ready) << "the stop did not end the wait";
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 3s);
  ConversionSummary summary = run.get();
  EXPECT_EQ(summary.ending, RunEnding::Stopped);
  EXPECT_EQ(summary.tablesConverted, 0);
  EXPECT_EQ(summary.tablesFailed, 0);
  // The question counts the tables on the server, the locked one too.
  EXPECT_EQ(owner_.messages,
            (std::vector<std::string>{"Message: " + OverwriteQuestion(db_, 1) + " [icon]"}));
  // The DROP was broken off: the other client's table is still there.
  EXPECT_EQ(holder_->Rows("SHOW TABLES FROM " + db_).size(), 1u);
  // The page is back to idle and the label has its usual text again.
  EXPECT_EQ(owner_.WaitTexts().back(), kPleaseWaitText);
}

TEST_F(LockWaitTest, AQuickStatementIsNeverAskedAbout) {
  holder_->Execute("UNLOCK TABLES");
  MySqlStatementExecutor executor(connection_);
  LockWaitWatch watch(executor, *probe_, timing_);
  ConversionContext context(watch, source_);
  watch.Attach(owner_, context);
  EXPECT_EQ(RunConversion(owner_, context).ending, RunEnding::Completed);
  EXPECT_TRUE(owner_.WaitTexts().empty());
}

// Another client holds FLUSH TABLES WITH READ LOCK: the DROP DATABASE waits
// for the global read lock, which is named, and a stop breaks it off.
TEST_F(LockWaitTest, AGlobalReadLockIsNamedAndAStopBreaksItOff) {
  holder_->Execute("UNLOCK TABLES");
  holder_->Execute("FLUSH TABLES WITH READ LOCK");
  MySqlStatementExecutor executor(connection_);
  LockWaitWatch watch(executor, *probe_, timing_);
  ConversionContext context(watch, source_);
  watch.Attach(owner_, context);
  auto run = Start(context);
  ASSERT_TRUE(owner_.WaitUntilNotice(kGlobalReadLockWaitText, 10s)) << "no notice of the wait";
  context.stopRequested = true;
  ASSERT_EQ(run.wait_for(10s), std::future_status::ready) << "the stop did not end the wait";
  EXPECT_EQ(run.get().ending, RunEnding::Stopped);
  EXPECT_EQ(owner_.WaitTexts(),
            (std::vector<std::string>{kGlobalReadLockWaitText, kPleaseWaitText}));
  holder_->Execute("UNLOCK TABLES");
  EXPECT_EQ(holder_->Rows("SHOW TABLES FROM " + db_).size(), 1u) << "nothing dropped";
}

TEST(ServerWaitText, EveryWaitIsNamedAndOrdinaryWorkIsNot) {
  EXPECT_EQ(ServerWaitText("Waiting for table metadata lock"), kLockWaitText);
  EXPECT_EQ(ServerWaitText("Waiting for schema metadata lock"), kLockWaitText);
  EXPECT_EQ(ServerWaitText("Waiting for table level lock"), kLockWaitText);
  EXPECT_EQ(ServerWaitText("Waiting for global read lock"), kGlobalReadLockWaitText);
  EXPECT_EQ(ServerWaitText("Waiting for commit lock"), kGlobalReadLockWaitText);
  EXPECT_EQ(ServerWaitText("Waiting for backup lock"), kGlobalReadLockWaitText);
  EXPECT_EQ(ServerWaitText("Waiting for someone to free space"), kDiskFullWaitText);
  EXPECT_EQ(ServerWaitText("Waiting for disk space"), kDiskFullWaitText);
  EXPECT_EQ(ServerWaitText("Waiting for table flush"), kTableFlushWaitText);
  EXPECT_EQ(ServerWaitText("Waiting for tables"), kTableFlushWaitText);
  EXPECT_EQ(ServerWaitText("Waiting for semi-sync ACK from slave"), kReplicaWaitText);
  EXPECT_EQ(ServerWaitText("wsrep: waiting for flow control"), kClusterWaitText);
  EXPECT_EQ(ServerWaitText("Waiting for Galera flow control"), kClusterWaitText);
  // A Galera node whose cluster lost a member: writes wait in certification.
  EXPECT_EQ(ServerWaitText("Waiting for certification"), kClusterCertificationWaitText);
  EXPECT_EQ(ServerWaitText("Waiting on cond"),
            "Bracken waits while the MySQL server reports \"Waiting on cond\"...");
  for (const char* work : {"Sending data", "Update", "update", "closing tables", "System lock",
                           "waiting for handler commit", "Opening tables", "", "executing"}) {
    EXPECT_EQ(ServerWaitText(work), "") << work;
  }
  EXPECT_TRUE(IsLockWaitState("Waiting for table metadata lock"));
  EXPECT_FALSE(IsLockWaitState("Waiting for table flush"));
}

}  // namespace
}  // namespace bracken::engine
