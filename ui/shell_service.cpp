#include "ui/shell_service.h"

#include <QDesktopServices>

#include "ui/message_box.h"

namespace bracken::ui {

namespace {
ShellService* replacement = nullptr;
}  // namespace

bool DesktopShellService::Open(const QUrl& target, WindowState) {
  // The desktop decides the window state of the program it starts.
  return QDesktopServices::openUrl(target);
}

ShellService& Shell() {
  static DesktopShellService desktop;
  return replacement ? *replacement : desktop;
}

void SetShell(ShellService* service) { replacement = service; }

void OpenOrTell(QWidget* owner, const QUrl& target, WindowState state) {
  if (Shell().Open(target, state)) return;
  QString text;
  if (target.isLocalFile()) {
    text = QStringLiteral(
               "The help could not be opened: no program on this system opens it. "
               "Open the help file by hand:\n\n") +
           target.toLocalFile();
  } else if (target.scheme() == QLatin1String("mailto")) {
    text = QStringLiteral("No mail program could be started. Write to:\n\n") + target.path();
  } else {
    text = QStringLiteral(
               "The web page could not be opened: no program on this system opens it. "
               "Its address is:\n\n") +
           target.toString();
  }
  ShowMessageBox(owner, text, QStringLiteral("Message"), engine::MessageButtons::Ok,
                 engine::MessageIcon::Information);
}

}  // namespace bracken::ui
