// The wizard against the command line on one long table.
//
//   wizard_bench [ROWS [ROUNDS]]   (default 100000 rows, 3 rounds; needs the
//                                   test server, named by BRACKEN_TEST_MYSQL_*)
//
// Writes one Access table of ROWS rows, then round by round converts it
//   1. with bracken-cli convert (one INSERT per row, a console owner), and
//   2. with the real window, offscreen: the first page filled in, Next, the
//      table marked, Convert, the completion message answered;
// into the same server. Alternating keeps both under the same load on a
// shared machine. The ratio of the sums is the window's cost over the
// command line's; the goal is 1.10 or less.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/fixture_writer.h"
#include "tests/support/test_server.h"
#include "ui/check_list_box.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"

namespace {

namespace fs = std::filesystem;
using namespace bracken;

void WriteTable(const fs::path& path, int64_t rows) {
  testing::FixtureDatabase database;
  testing::FixtureTable table;
  table.name = "Movements";
  testing::FixtureColumn id = testing::MakeColumn("Id", testing::ColumnKind::Long);
  id.autoNumber = true;
  table.columns = {id, testing::MakeColumn("Label", testing::ColumnKind::Text, 40),
                   testing::MakeColumn("Amount", testing::ColumnKind::Double),
                   testing::MakeColumn("Since", testing::ColumnKind::DateTime)};
  table.indexes = {{"PrimaryKey", {"Id"}, true, true, false}};
  table.generatedRows = rows;
  table.generator = [](int64_t i, std::vector<testing::FixtureValue>& row) {
    row[0] = i + 1;
    row[1] = "Movement number " + std::to_string(i);
    row[2] = i * 0.25;
    row[3] = 40000.0 + (i % 5000);
  };
  database.tables.push_back(std::move(table));
  testing::WriteJet4File(database, path);
}

double CliSeconds(const testing::TestServer& server, const fs::path& file) {
  QElapsedTimer clock;
  clock.start();
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("MYSQL_PWD", server.password.c_str(), 1);
    const int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, 1);
    ::execl(BRACKEN_CLI, "bracken-cli", "convert", file.c_str(), "--host", server.host.c_str(),
            "--user", server.user.c_str(), "--database", "wiz_bench_cli", "--yes", "--row-by-row",
            nullptr);
    std::_Exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "wizard_bench: bracken-cli ended with %d\n", status);
  }
  return clock.elapsed() / 1000.0;
}

// Answers every message box: Yes to the overwrite question, OK otherwise.
void AnswerBoxes() {
  if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
    QAbstractButton* yes = box->button(QMessageBox::Yes);
    if (yes != nullptr) {
      yes->click();
    } else if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
      if (!box->text().contains("completed successfully")) {
        std::fprintf(stderr, "wizard_bench: %s\n", box->text().toStdString().c_str());
      }
      ok->click();
    }
  }
}

double WizardSeconds(const testing::TestServer& server, const fs::path& file) {
  ui::CBrackenDlg dialog;
  dialog.show();
  auto text = [&](int id, const std::string& value) {
    static_cast<QLineEdit*>(dialog.Control(id))->setText(QString::fromStdString(value));
  };
  text(1010, server.host);
  text(1011, server.user);
  text(1012, server.password);
  text(1018, file.string());
  static_cast<QAbstractButton*>(dialog.Control(1001))->click();
  text(1019, "wiz_bench_gui");
  static_cast<ui::CheckListBox*>(dialog.Control(1003))->item(0)->setCheckState(Qt::Checked);

  QElapsedTimer clock;
  clock.start();
  static_cast<QAbstractButton*>(dialog.Control(1004))->click();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!dialog.ConversionRunning()) loop.quit();
  });
  poll.start(5);
  loop.exec();
  return clock.elapsed() / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 100000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  auto server = testing::TestServerFromEnvironment();
  if (!server || rounds < 1) {
    std::fprintf(stderr, "wizard_bench: %s\n", testing::kNoServerMessage);
    return 2;
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, AnswerBoxes);
  answerer.start(10);

  const fs::path file =
      fs::temp_directory_path() / ("bracken_wizard_bench_" + std::to_string(::getpid()) + ".mdb");
  WriteTable(file, rows);
  double cli = 0, wizard = 0;
  for (int r = 0; r < rounds; ++r) {
    const double c = CliSeconds(*server, file);
    const double w = WizardSeconds(*server, file);
    std::printf("round %d: bracken-cli %.2f s, wizard %.2f s, ratio %.3f\n", r + 1, c, w, w / c);
    std::fflush(stdout);
    cli += c;
    wizard += w;
  }
  fs::remove(file);
  std::printf(
      "wizard_bench: %lld rows x %d rounds, bracken-cli %.0f rows/s, wizard %.0f rows/s, "
      "ratio %.3f (goal 1.10)\n",
      static_cast<long long>(rows), rounds, rows * rounds / cli, rows * rounds / wizard,
      wizard / cli);
  return 0;
}
