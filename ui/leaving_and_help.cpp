// STOP, the way out of the program, help and the About box.

#include <QUrl>

#include "ui/about_dialog.h"
#include "ui/help_file.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/product_links.h"
#include "ui/shell_service.h"

namespace bracken::ui {

using engine::MessageAnswer;
using engine::MessageButtons;
using engine::MessageIcon;

void CBrackenDlg::OnStop() {
  if (run_) run_->stopRequested = true;
}

bool CBrackenDlg::AskToExit() {
  return ShowMessageBox(this,
                        QStringLiteral("Do you want to exit from Quillon Database Converter - "
                                       "Bracken?"),
                        QStringLiteral("Message"), MessageButtons::YesNo,
                        MessageIcon::Question) == MessageAnswer::Yes;
}

void CBrackenDlg::OnExit() {
  if (AskToExit()) LeaveProgram();
}

void CBrackenDlg::LeaveProgram() {
  Shell().Open(QUrl(QString::fromUtf8(links::kProductPage)), WindowState::Default);
  if (conversionWorker.IsRunning()) {
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
  Shell().Open(QUrl::fromLocalFile(HelpFilePath()), WindowState::Maximised);
}

void CBrackenDlg::OpenAbout() {
  CAboutDlg about(this);
  about.exec();
}

}  // namespace bracken::ui
