// STOP, the way out of the program, help and the About box.

#include <QLabel>
#include <QUrl>

#include "ui/about_dialog.h"
#include "ui/help_file.h"
#include "ui/image_button.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/product_links.h"
#include "ui/shell_service.h"

namespace bracken::ui {

using engine::MessageAnswer;
using engine::MessageButtons;
using engine::MessageIcon;

namespace {
constexpr const char* kPleaseWait = "Please wait.. Database conversion is in progress.";
constexpr const char* kStopping =
    "STOP was pressed: the conversion ends after the table being copied.";
}  // namespace

void CBrackenDlg::OnStop() {
  if (!run_ || !conversionWorker.IsRunning()) return;
  run_->stopRequested = true;
  stopPressed_ = true;
  // Taken once: the button says so by greying, the progress text by words.
  stop_->setEnabled(false);
  pleaseWait_->setText(QString::fromUtf8(kPleaseWait));
  ShowStopNotice();
}

void CBrackenDlg::ShowStopNotice() {
  // Other notices (a wait for a lock) stay; the usual text gives way.
  if (stopPressed_ && pleaseWait_->text() == QString::fromUtf8(kPleaseWait)) {
    pleaseWait_->setText(QString::fromUtf8(kStopping));
  }
}

// During a run the question names what leaving leaves behind, and No is
// the default; otherwise it is the usual one.
bool CBrackenDlg::AskToExit() {
  QString text = QStringLiteral("Do you want to exit from Quillon Database Converter - Bracken?");
  const bool running = run_ && conversionWorker.IsRunning();
  if (running) text += QStringLiteral("\n\n") + RunningExitWarning();
  return ShowMessageBox(this, text, QStringLiteral("Message"),
                        running ? MessageButtons::YesNoDefaultNo : MessageButtons::YesNo,
                        running ? MessageIcon::Warning : MessageIcon::Question) ==
         MessageAnswer::Yes;
}

QString CBrackenDlg::RunningExitWarning() const {
  const QString database =
      QLatin1Char('[') + QString::fromStdString(runDatabase_) + QLatin1Char(']');
  const QString table = copyingTable_.isEmpty()
                            ? QStringLiteral("The table being copied")
                            : QStringLiteral("The table [%1]").arg(copyingTable_);
  return QStringLiteral(
             "A conversion is in progress. %1 will be left incomplete in the database "
             "%2, and the tables after it will not be copied. Help tells how to finish "
             "the copy.")
      .arg(table, database);
}

void CBrackenDlg::OnExit() {
  if (AskToExit()) LeaveProgram();
}

void CBrackenDlg::LeaveProgram() {
  OpenOrTell(this, QUrl(QString::fromUtf8(links::kProductPage)), WindowState::Default);
  leaving_ = true;
  if (conversionWorker.IsRunning() || forwardWorker_.IsRunning()) {
    // The worker may be inside a statement: the connection must not be
    // closed under it, and it is not waited for. Ending the process ends
    // both at once; the tables already written stay on the server.
    endProcess_();
  } else {
    connection_.Close();
  }
  QDialog::done(QDialog::Rejected);
}

void CBrackenDlg::OpenHelp() {
  OpenOrTell(this, QUrl::fromLocalFile(HelpFilePath()), WindowState::Maximised);
}

void CBrackenDlg::OpenAbout() {
  CAboutDlg about(this);
  about.exec();
}

}  // namespace bracken::ui
