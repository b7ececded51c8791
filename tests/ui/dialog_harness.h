#pragma once

// Driving the real main window in tests: an offscreen application, a shell
// that records instead of launching, an answerer for the modal boxes the
// window raises, and helpers for the first page and the table list.

#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/fixture_writer.h"
#include "tests/support/test_server.h"
#include "ui/main_dialog.h"
#include "ui/options_dialog.h"
#include "ui/shell_service.h"

class QTimer;

// Readable failure output for Qt's strings.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* out) {
  *out << '[' << texts.join(" | ").toStdString() << ']';
}

namespace bracken::testing {

// Every "open" request, in order, with nothing launched. With `fails` set
// each request fails, as on a system with no program to open it.
class RecordingShell : public ui::ShellService {
 public:
  RecordingShell() { ui::SetShell(this); }
  ~RecordingShell() override { ui::SetShell(nullptr); }
  bool Open(const QUrl& target, ui::WindowState state) override {
    opened.push_back(target);
    states.push_back(state);
    return !fails;
  }
  std::vector<QUrl> opened;
  std::vector<ui::WindowState> states;
  bool fails = false;
};

// One modal box as it was shown.
struct SeenBox {
  QString caption;
  QString text;
  QString icon;        // "none", "information", "question", "warning", "error" or "other"
  QString buttons;     // "OK" or "Yes/No"; "about", "report" and "options" for those windows
  QString focusAfter;  // object name of the main window's focus once closed
  QStringList lines;   // the report window's lines
  QString defaultButton = {};  // "Yes", "No" or "OK": what Enter presses
  QString checkText = {};      // the check box beneath the text, if any
  bool checkedAtStart = false;
};

// Answers the modal boxes that appear while it lives. Questions take the
// queued answers in order (No when none is left); file dialogs take the
// queued paths; the About box and the report window are closed with OK.
class ModalAnswerer {
 public:
  ModalAnswerer();
  ~ModalAnswerer();

  void AnswerYes() { answers_.push_back(Answer::Yes); }
  void AnswerNo() { answers_.push_back(Answer::No); }
  // The next question is answered with the Enter key, as a user who only
  // confirms would (the box's default button decides).
  void AnswerWithEnter() { answers_.push_back(Answer::Enter); }
  // The next question is answered Yes from the keyboard alone: Tab to Yes,
  // then Space.
  void AnswerYesWithKeys() { answers_.push_back(Answer::YesByKeys); }
  // The next Options dialog is set to these choices and closed with OK;
  // without a queued choice it is cancelled.
  void ChooseOptions(const ui::ConversionChoices& choices) { options_.push_back(choices); }
  // The next box with a check box gets it ticked before it is answered.
  void TickNextCheckBox() { tickCheckBox_ = true; }
  void ChooseFile(const QString& path) { files_.push_back(path); }
  // The file dialog gets the text typed into its name field and Enter, and
  // decides itself: a folder opens, a missing file is refused (its warning
  // is answered and recorded), an existing one is chosen.
  void TypeIntoFileDialog(const QString& text) { files_.push_back(kTyped + text); }
  void CancelFileDialog() { files_.push_back(QString()); }
  // The report window's "Verify the Copy" is pressed, and its lines are
  // recorded once verify is done.
  void VerifyReports() { verifyReports_ = true; }
  // Report windows are left to the test (one under test is not a box to
  // answer, however slowly the test runs).
  void LeaveReportsOpen() { leaveReports_ = true; }
  // Called while the box is up, before it is answered.
  void WhileShown(std::function<void(const SeenBox&)> hook) { whileShown_ = std::move(hook); }

  std::vector<SeenBox> seen;
  int fileDialogs = 0;
  // The folder and the filters of each file dialog as it was answered.
  QStringList fileDialogFolders;
  std::vector<QStringList> fileDialogFilters;

  // The texts of all message boxes seen, in order.
  QStringList Texts() const;

 private:
  void Poll();

  QTimer* timer_;
  enum class Answer { No, Yes, Enter, YesByKeys };
  static inline const QString kTyped = QStringLiteral("typed:");
  std::deque<Answer> answers_;
  std::deque<QString> files_;
  std::deque<ui::ConversionChoices> options_;
  std::function<void(const SeenBox&)> whileShown_;
  bool typingPending_ = false;
  bool tickCheckBox_ = false;
  bool verifyReports_ = false;
  bool leaveReports_ = false;
};

// Processes events until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

// A fresh window, shown offscreen, with its process ender recorded. Save As
// of the report gets the queued report paths (a cancel when none is left),
// never a real file dialog.
struct DialogUnderTest {
  DialogUnderTest();
  ~DialogUnderTest();

  template <typename Widget>
  Widget* Find(int id) const {
    return dialog->findChild<Widget*>(QString::number(id));
  }
  QWidget* Widget(int id) const { return dialog->Control(id); }
  bool Visible(int id) const;
  QString Text(int id) const;
  void SetText(int id, const QString& text);
  void Click(int id);
  void PressKey(int id, int key);

  // The first page filled in for the test server and a file chosen with Browse.
  void FillFirstPage(const TestServer& server, const std::filesystem::path& file,
                     ModalAnswerer& answerer);
  // Next; true when the second page is shown afterwards.
  bool Next();

  // Rows of the table list and their marks.
  QStringList Rows() const;
  std::vector<bool> Marks() const;
  // Toggles a row's mark as a click on its check square does.
  void ClickMark(int row);
  void SelectRow(int row);

  std::unique_ptr<ui::CBrackenDlg> dialog;
  int processEnds = 0;
  std::deque<QString> reportFiles;
  // The path each Save As of the report proposed, in order.
  QStringList proposedReportPaths;
};

// A folder for the files of one test, removed with it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  std::filesystem::path Path(const std::string& name) const { return root_ / name; }

 private:
  std::filesystem::path root_;
};

// A small file: Customers (3 rows), Orders (4 rows), Products (2 rows).
FixtureDatabase SmallShop();
// One table of the given number of generated rows.
FixtureTable GeneratedTable(const std::string& name, int64_t rows);

// Database names of these tests start with "ui_".
std::string DatabaseName(const std::string& suffix);

}  // namespace bracken::testing
