// A long run through the window against the test server: the caption's
// pace, the rows beside STOP, STOP during a long table, and Next against a
// server that never answers.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <atomic>
#include <map>
#include <thread>

#include "engine/output/lock_wait_watch.h"
#include "tests/support/server_query.h"
#include "tests/ui/dialog_harness.h"

namespace bracken::testing {
namespace {

const QString kTitle = "Quillon Database Converter - Bracken";
constexpr int kLongTableRows = 40000;

// Every title the window showed, with the time it was shown.
struct TitleRecorder {
  explicit TitleRecorder(QWidget* window) {
    clock.start();
    QObject::connect(window, &QWidget::windowTitleChanged, [this](const QString& title) {
      shown.push_back({clock.elapsed(), title});
    });
  }
  // The most titles containing `part` shown within any one second.
  int MostInOneSecond(const QString& part) const {
    std::vector<qint64> times;
    for (const auto& [time, title] : shown) {
      if (title.contains(part)) times.push_back(time);
    }
    int most = 0;
    for (std::size_t first = 0, last = 0; last < times.size(); ++last) {
      while (times[last] - times[first] >= 1000) ++first;
      most = std::max(most, static_cast<int>(last - first + 1));
    }
    return most;
  }
  bool Showed(const QString& title) const {
    return std::any_of(shown.begin(), shown.end(),
                       [&](const auto& s) { return s.second == title; });
  }
  QElapsedTimer clock;
  std::vector<std::pair<qint64, QString>> shown;
};

class LongRun : public ::testing::Test {
 protected:
  void SetUp() override {
    auto found = TestServerFromEnvironment();
    if (!found) GTEST_SKIP() << kNoServerMessage;
    server = *found;
    query = std::make_unique<ServerQuery>(server);
    // A database per test process: the cases may run side by side.
    database = DatabaseName("long_run_" + std::to_string(::getpid()));
    query->Execute("DROP DATABASE IF EXISTS `" + database + "`");
  }
  void TearDown() override {
    if (query) query->Execute("DROP DATABASE IF EXISTS `" + database + "`");
  }

  // The long table first, then a short one; both marked.
  void OpenLongFile(DialogUnderTest& ui) {
    FixtureDatabase file;
    file.tables.push_back(GeneratedTable("Movements", kLongTableRows));
    file.tables.push_back(GeneratedTable("Tail", 5));
    WriteJet4File(file, folder.Path("long.mdb"));
    ui.FillFirstPage(server, folder.Path("long.mdb"), answerer);
    ASSERT_TRUE(ui.Next());
    ui.SetText(1019, QString::fromStdString(database));
    ui.ClickMark(0);
    ui.ClickMark(1);
  }

  static bool Finished(DialogUnderTest& ui) {
    return WaitUntil([&] { return !ui.dialog->ConversionRunning(); }, 300000);
  }

  TestServer server;
  std::unique_ptr<ServerQuery> query;
  std::string database;
  ScratchFolder folder;
  ModalAnswerer answerer;
};

TEST_F(LongRun, TheCaptionChangesAtMostTenTimesASecondAndEndsOnTheLastCount) {
  DialogUnderTest ui;
  OpenLongFile(ui);
  TitleRecorder titles(ui.dialog.get());
  QStringList rowsTexts;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] { rowsTexts << ui.Find<QLabel>(1043)->text(); });
  sampler.start(20);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  sampler.stop();

  ASSERT_GE(titles.shown.size(), 3u);
  // Within the long table: ten a second, and its last count at once when it ends.
  EXPECT_LE(titles.MostInOneSecond("[Movements]"), 12) << "titles: " << titles.shown.size();
  EXPECT_TRUE(titles.Showed(
      QString("Converting Table: [Movements] %1 rows converted...").arg(kLongTableRows)));
  EXPECT_TRUE(titles.Showed("Converting Table: [Tail] 5 rows converted..."));
  EXPECT_EQ(titles.shown.back().second, kTitle);
  // The rows of the long table against its count, beside STOP.
  EXPECT_TRUE(std::any_of(rowsTexts.begin(), rowsTexts.end(), [](const QString& text) {
    return text.startsWith("Rows: ") && text.endsWith(" of 40000") && text != "Rows: 0 of 40000";
  })) << rowsTexts.join(" | ").toStdString();
  EXPECT_FALSE(ui.Visible(1043));
  EXPECT_EQ(answerer.Texts(), QStringList{"Bracken database conversion completed successfully."});
}

TEST_F(LongRun, StopDuringALongTableIsShownAndTheRunEndsAfterThatTable) {
  DialogUnderTest ui;
  OpenLongFile(ui);
  ui.Click(1004);
  ASSERT_TRUE(WaitUntil([&] { return ui.dialog->windowTitle().contains("[Movements]"); }));
  ui.Click(1032);
  EXPECT_FALSE(ui.Widget(1032)->isEnabled()) << "STOP greys once taken";
  EXPECT_EQ(ui.Text(1040), "STOP was pressed: the conversion ends after the table being copied.");
  // A notice of its own (a wait for a lock) is not covered up.
  ui.SetText(1040, "Bracken waits for a lock held by another client.");
  EXPECT_EQ(ui.Text(1040), "Bracken waits for a lock held by another client.");
  ui.SetText(1040, "Please wait.. Database conversion is in progress.");
  EXPECT_EQ(ui.Text(1040), "STOP was pressed: the conversion ends after the table being copied.");
  ASSERT_TRUE(Finished(ui));

  Cell rows = query->Value("SELECT COUNT(*) FROM `" + database + "`.`Movements`");
  EXPECT_EQ(rows.value_or(""), std::to_string(kLongTableRows)) << "the table in hand is finished";
  EXPECT_FALSE(query
                   ->Value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='" +
                           database + "' AND TABLE_NAME='Tail'")
                   .value_or("0") != "0")
      << "the next table is not started";
  EXPECT_EQ(ui.dialog->windowTitle(), kTitle);

  // The next run offers STOP afresh with the usual text.
  ui.ClickMark(1);
  answerer.AnswerYes();
  ui.Click(1004);
  EXPECT_TRUE(ui.Widget(1032)->isEnabled());
  EXPECT_EQ(ui.Text(1040), "Please wait.. Database conversion is in progress.");
  ASSERT_TRUE(Finished(ui));
}

// Another client holds a table of the database the run must replace: the
// progress text says Bracken waits for its lock, and STOP breaks the wait
// off, leaving that client's table alone.
TEST_F(LongRun, ALockHeldByAnotherClientIsToldAndStopBreaksTheWaitOff) {
  ServerQuery holder(server);
  holder.Execute("CREATE DATABASE `" + database + "`");
  holder.Execute("CREATE TABLE `" + database + "`.Held (x INT) ENGINE=MyISAM");
  holder.Execute("LOCK TABLES `" + database + "`.Held WRITE");
  DialogUnderTest ui;
  OpenLongFile(ui);
  answerer.AnswerYes();
  ui.Click(1004);
  EXPECT_TRUE(WaitUntil([&] { return ui.Text(1040) == engine::kLockWaitText; }, 20000))
      << ui.Text(1040).toStdString();
  ui.Click(1032);
  EXPECT_TRUE(WaitUntil([&] { return !ui.dialog->ConversionRunning(); }, 10000));
  EXPECT_EQ(holder.Value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='" +
                         database + "' AND TABLE_NAME='Held'"),
            "1")
      << "the other client's table stays";
  holder.Execute("UNLOCK TABLES");
}

// Another client holds FLUSH TABLES WITH READ LOCK: the progress text names
// that wait, and STOP breaks it off as it does a table's lock.
TEST_F(LongRun, AGlobalReadLockIsNamedAndStopBreaksTheWaitOff) {
  ServerQuery holder(server);
  holder.Execute("CREATE DATABASE `" + database + "`");
  holder.Execute("FLUSH TABLES WITH READ LOCK");
  DialogUnderTest ui;
  OpenLongFile(ui);
  answerer.AnswerYes();
  ui.Click(1004);
  EXPECT_TRUE(WaitUntil([&] { return ui.Text(1040) == engine::kGlobalReadLockWaitText; }, 20000))
      << ui.Text(1040).toStdString();
  ui.Click(1032);
  EXPECT_TRUE(WaitUntil([&] { return !ui.dialog->ConversionRunning(); }, 10000));
  holder.Execute("UNLOCK TABLES");
  EXPECT_EQ(holder.Value("SELECT COUNT(*) FROM information_schema.SCHEMATA WHERE SCHEMA_NAME='" +
                         database + "'"),
            "1")
      << "the DROP DATABASE was broken off";
}

TEST_F(LongRun, TheProgressTextShowsALongNoticeWhole) {
  DialogUnderTest ui;
  auto* label = ui.Find<QLabel>(1040);
  const QString notice =
      "Bracken waits for a lock on table `Order Details of the second quarter` held by another "
      "client (connection 4711) ...";
  ui.SetText(1040, notice);
  EXPECT_TRUE(label->wordWrap());
  EXPECT_GE(label->height(), label->heightForWidth(label->width())) << "no line is cut off";
  EXPECT_LE(label->geometry().right(), ui.dialog->width());
  EXPECT_LT(label->geometry().bottom(), ui.Widget(1030)->geometry().top());
}

// Accepts connections and never answers, until closed.
class SilentServer {
 public:
  SilentServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 8);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    accepter_ = std::thread([this] {
      for (int client; (client = ::accept(listener_, nullptr, nullptr)) >= 0;) {
        if (closed_) {
          ::close(client);
          break;
        }
        clients_.push_back(client);
      }
    });
  }
  ~SilentServer() { Close(); }
  // Ends every connection: a client waiting for the greeting fails at once.
  void Close() {
    if (closed_.exchange(true)) return;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    accepter_.join();
    for (int client : clients_) ::close(client);
  }
  int port = 0;

 private:
  int listener_ = -1;
  std::atomic<bool> closed_{false};
  std::thread accepter_;
  std::vector<int> clients_;
};

TEST(ForwardAction, AgainstASilentServerTheWindowAnswersAndExitEndsTheProgram) {
  RecordingShell shell;
  ModalAnswerer answerer;
  DialogUnderTest ui;
  SilentServer silent;
  ScratchFolder folder;
  WriteJet4File(SmallShop(), folder.Path("shop.mdb"));
  TestServer fake{"127.0.0.1:" + std::to_string(silent.port), 0, "someone", "secret"};
  ui.FillFirstPage(fake, folder.Path("shop.mdb"), answerer);

  bool busyWhileWaiting = false;
  QTimer::singleShot(400, [&] {
    busyWhileWaiting = ui.dialog->ForwardActionRunning() && !ui.Widget(1001)->isEnabled() &&
                       !ui.Widget(1010)->isEnabled() && ui.Widget(1006)->isEnabled() &&
                       QApplication::overrideCursor() != nullptr &&
                       QApplication::overrideCursor()->shape() == Qt::BusyCursor;
    answerer.AnswerYes();
    ui.Click(1006);
    silent.Close();
  });
  QElapsedTimer clock;
  clock.start();
  ui.Click(1001);
  EXPECT_TRUE(busyWhileWaiting);
  EXPECT_EQ(ui.processEnds, 1);
  EXPECT_LT(clock.elapsed(), 8000);
  EXPECT_EQ(answerer.Texts(),
            QStringList{"Do you want to exit from Quillon Database Converter - Bracken?"});
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(LongRun, NextReachesTheServerOnTheGivenPortAndRestoresThePage) {
  if (server.port == 0) GTEST_SKIP() << "the test server has no TCP port";
  DialogUnderTest ui;
  WriteJet4File(SmallShop(), folder.Path("shop.mdb"));
  TestServer withPort = server;
  withPort.host = server.host + ":" + std::to_string(server.port);
  ui.FillFirstPage(withPort, folder.Path("shop.mdb"), answerer);
  ASSERT_TRUE(ui.Next()) << answerer.Texts().join(" | ").toStdString();
  EXPECT_EQ(ui.Rows(), (QStringList{"Customers", "Orders", "Products"}));
  EXPECT_TRUE(answerer.seen.empty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  for (int id : {1003, 1004, 1005, 1006, 1009, 1025}) EXPECT_TRUE(ui.Widget(id)->isEnabled()) << id;

  // A port nobody listens on is the only one tried: the usual failure, with
  // that port's reason.
  ui.Click(1009);
  withPort.host = "127.0.0.1:1";
  ui.FillFirstPage(withPort, folder.Path("shop.mdb"), answerer);
  EXPECT_FALSE(ui.Next());
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_TRUE(answerer.seen[0].text.startsWith(
      "There is an error to connect with MySQL. Please check your input parameters or server "
      "configuration.\n\nCan't connect to server on '127.0.0.1'"))
      << answerer.seen[0].text.toStdString();
  EXPECT_FALSE(ui.Widget(1008)->isEnabled()) << "the file's password stays as its box leaves it";
  EXPECT_TRUE(ui.Widget(1001)->isEnabled());
}

}  // namespace
}  // namespace bracken::testing
