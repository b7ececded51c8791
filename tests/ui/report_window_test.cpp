// The report at the end of a run: the window itself (what it shows, Save As,
// a failed save), and how the main window gathers the lines of one run.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <atomic>
#include <deque>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/ui/dialog_harness.h"
#include "ui/report_dialog.h"

namespace bracken::testing {
namespace {

const QString kEnded =
    "Bracken database conversion ended, but not everything arrived: 3 rows refused, 1 value "
    "changed.";

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

QStringList Numbered(const QString& prefix, int count) {
  QStringList lines;
  for (int i = 1; i <= count; ++i) lines << prefix + QString::number(i);
  return lines;
}

// A report window shown over nothing, as a test drives it, with Save As
// answered from a queue of paths.
struct ReportUnderTest {
  ReportUnderTest(const QString& message, const QStringList& lines)
      : window(message, lines, nullptr, [this](QWidget*, const QString& proposed) {
          proposed_ << proposed;
          const QString path = files.empty() ? QString() : files.front();
          if (!files.empty()) files.pop_front();
          return path;
        }) {
    window.show();
    QApplication::processEvents();
  }

  template <typename Widget>
  Widget* Find(const char* name) {
    return window.findChild<Widget*>(name);
  }
  void SaveAs(const std::filesystem::path& path) {
    files.push_back(QString::fromStdString(path.string()));
    QTest::mouseClick(Find<QPushButton>("reportSave"), Qt::LeftButton);
  }

  std::deque<QString> files;
  QStringList proposed_;
  ui::CReportDlg window;
};

TEST(ReportWindow, ShowsTheMessageAboveEveryLineOnePerEntry) {
  QStringList lines = Numbered("Orders: row refused ", 5000);
  lines[1] = "Notes: value \"a\r\nb\" left out";
  lines[2] = "second\nline";
  ReportUnderTest report(kEnded, lines);

  EXPECT_EQ(report.window.windowTitle(), "Message");
  EXPECT_EQ(report.window.windowModality(), Qt::WindowModal);
  EXPECT_EQ(report.window.size(), QSize(560, 360));
  EXPECT_EQ(report.Find<QLabel>("reportMessage")->text(), kEnded);
  auto* text = report.Find<QPlainTextEdit>("reportText");
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_FALSE(QFontInfo(text->font()).fixedPitch());
  EXPECT_EQ(text->document()->blockCount(), 5000);
  const QStringList shown = text->toPlainText().split('\n');
  EXPECT_EQ(shown.at(0), "Orders: row refused 1");
  EXPECT_EQ(shown.at(1), "Notes: value \"a b\" left out");
  EXPECT_EQ(shown.at(2), "second line");
  EXPECT_EQ(shown.at(4999), "Orders: row refused 5000");

  auto* ok = report.Find<QPushButton>("reportOk");
  QTest::mouseClick(ok, Qt::LeftButton);
  EXPECT_FALSE(report.window.isVisible());
}

// A line longer than the window wraps at its width, never needing the
// sideways scroll bar.
TEST(ReportWindow, LongLinesWrapAtTheWindowsWidth) {
  const QString longLine =
      "Table [Order Details], row 1234, column [Notes]: " + QString("abcdefghij ").repeated(40);
  ReportUnderTest report(kEnded, {longLine, QString("x").repeated(400), "short"});
  auto* text = report.Find<QPlainTextEdit>("reportText");
  ASSERT_NE(text, nullptr);
  QApplication::processEvents();
  EXPECT_EQ(text->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(text->document()->blockCount(), 3);
  EXPECT_GT(text->document()->findBlockByNumber(0).layout()->lineCount(), 1);
  EXPECT_GT(text->document()->findBlockByNumber(1).layout()->lineCount(), 1);
  EXPECT_EQ(text->toPlainText().split('\n').at(0), longLine);
}

// The desktop's Save As: a name typed without an extension is saved as .txt,
// one with an extension as typed.
TEST(ReportWindow, SaveAsAddsTxtToANameWithoutExtension) {
  ModalAnswerer answerer;
  ScratchFolder folder;
  const QString start = QString::fromStdString(folder.Path("proposed.txt").string());
  answerer.TypeIntoFileDialog("weekly");
  EXPECT_EQ(ui::ChooseReportFileWithDialog(nullptr, start),
            QString::fromStdString(folder.Path("weekly.txt").string()));
  answerer.TypeIntoFileDialog("weekly.log");
  EXPECT_EQ(ui::ChooseReportFileWithDialog(nullptr, start),
            QString::fromStdString(folder.Path("weekly.log").string()));
  ASSERT_EQ(answerer.fileDialogFilters.size(), 2u);
  EXPECT_EQ(answerer.fileDialogFilters[0], (QStringList{"Text files (*.txt)", "All files (*)"}));
}

TEST(ReportWindow, SaveAsWritesTheMessageAndEveryLineAsUtf8) {
  ModalAnswerer answerer;
  answerer.LeaveReportsOpen();
  ScratchFolder folder;
  ReportUnderTest report("Conversion ended.\r\nSee below.",
                         {"Table \"Kunden Übersicht\" is named Kunden_Übersicht", "a\nb", ""});

  // Cancelling the file question writes nothing.
  QTest::mouseClick(report.Find<QPushButton>("reportSave"), Qt::LeftButton);
  ASSERT_EQ(report.proposed_.size(), 1);
  EXPECT_EQ(report.proposed_.at(0), QDir::home().filePath("Bracken report.txt"))
      << report.proposed_.at(0).toStdString();

  const std::string expected =
      "Conversion ended.\nSee below.\n"
      "Table \"Kunden \xC3\x9C"
      "bersicht\" is named Kunden_\xC3\x9C"
      "bersicht\na b\n\n";
  // An existing file is replaced, not appended to.
  std::ofstream(folder.Path("report.txt")) << "an older report that is longer than the new one\n"
                                           << std::string(500, 'x');
  report.SaveAs(folder.Path("report.txt"));
  EXPECT_EQ(FileBytes(folder.Path("report.txt")), expected);
  EXPECT_TRUE(answerer.seen.empty()) << answerer.Texts().join(" | ").toStdString();
  EXPECT_TRUE(report.window.isVisible());
  // Save As again starts from the file just written.
  report.SaveAs(folder.Path("again.txt"));
  EXPECT_EQ(report.proposed_.last(), QString::fromStdString(folder.Path("report.txt").string()));
}

TEST(ReportWindow, AFailedSaveSaysSoAndKeepsTheWindowOpen) {
  ModalAnswerer answerer;
  answerer.LeaveReportsOpen();
  ScratchFolder folder;
  ReportUnderTest report(kEnded, {"Orders: row 7 refused"});

  // A folder that does not exist fails even for an all-powerful user.
  const auto missing = folder.Path("missing") / "report.txt";
  report.SaveAs(missing);
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_EQ(answerer.seen[0].caption, "Message");
  EXPECT_EQ(answerer.seen[0].icon, "error");
  EXPECT_TRUE(answerer.seen[0].text.startsWith("The report could not be saved to \"" +
                                               QString::fromStdString(missing.string()) + "\"."))
      << answerer.seen[0].text.toStdString();
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_TRUE(report.window.isVisible());
  // The failed path is not proposed next time; a folder as the file fails too.
  report.SaveAs(folder.Path(""));
  EXPECT_TRUE(report.proposed_.last().endsWith("/Bracken report.txt"));
  EXPECT_EQ(answerer.seen.size(), 2u);

  report.SaveAs(folder.Path("report.txt"));
  EXPECT_EQ(FileBytes(folder.Path("report.txt")),
            kEnded.toStdString() + "\nOrders: row 7 refused\n");
  EXPECT_EQ(answerer.seen.size(), 2u);
}

TEST(Report, LinesReportedByTheWorkerArriveInOrder) {
  ModalAnswerer answerer;
  DialogUnderTest ui;
  const QStringList lines = Numbered("line ", 3000);
  std::atomic<bool> done = false;
  std::thread worker([&] {
    for (const QString& line : lines) ui.dialog->ReportLine(line.toStdString());
    ui.dialog->ShowReport(kEnded.toStdString(), {});
    done = true;
  });
  const bool finished = WaitUntil([&] { return done.load(); }, 60000);
  worker.join();
  ASSERT_TRUE(finished);

  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_EQ(answerer.seen[0].buttons, "report");
  EXPECT_EQ(answerer.seen[0].caption, "Message");
  EXPECT_EQ(answerer.seen[0].text, kEnded);
  EXPECT_EQ(answerer.seen[0].lines, lines);
}

TEST(Report, EachReportShowsTheLinesOfItsOwnRunOnly) {
  ModalAnswerer answerer;
  DialogUnderTest ui;
  ui.dialog->ReportLine("first a");
  ui.dialog->ReportLine("first b");
  ui.dialog->ShowReport("one", {"first a", "first b"});
  // Nothing kept: the lines the run hands over are shown.
  ui.dialog->ShowReport("two", {"second a"});
  // Both: the window's own lines.
  ui.dialog->ReportLine("third a");
  ui.dialog->ShowReport("three", {"stale"});
  ui.dialog->ShowReport("four", {});

  ASSERT_EQ(answerer.seen.size(), 4u);
  EXPECT_EQ(answerer.seen[0].lines, (QStringList{"first a", "first b"}));
  EXPECT_EQ(answerer.seen[1].lines, QStringList{"second a"});
  EXPECT_EQ(answerer.seen[2].lines, QStringList{"third a"});
  EXPECT_EQ(answerer.seen[3].lines, QStringList{});
  EXPECT_EQ(answerer.seen[3].text, "four");
}

TEST(Report, SaveAsProposesTheDestinationNameAndWritesTheReport) {
  ModalAnswerer answerer;
  ScratchFolder folder;
  DialogUnderTest ui;
  ui.SetText(1019, "Sales/2009");
  ui.reportFiles.push_back(QString::fromStdString(folder.Path("saved.txt").string()));
  answerer.WhileShown([](const SeenBox&) {
    auto* report = qobject_cast<ui::CReportDlg*>(QApplication::activeModalWidget());
    if (report) report->findChild<QPushButton*>("reportSave")->click();
  });
  ui.dialog->ReportLine("Orders: row 7 refused");
  ui.dialog->ShowReport("Ended.", {});

  ASSERT_EQ(ui.proposedReportPaths.size(), 1);
  EXPECT_TRUE(ui.proposedReportPaths[0].endsWith("/Sales_2009 report.txt"))
      << ui.proposedReportPaths[0].toStdString();
  EXPECT_EQ(FileBytes(folder.Path("saved.txt")), "Ended.\nOrders: row 7 refused\n");
}

}  // namespace
}  // namespace bracken::testing
