#include "ui/shell_service.h"

#include <QDesktopServices>

namespace bracken::ui {

namespace {
ShellService* replacement = nullptr;
}  // namespace

void DesktopShellService::Open(const QUrl& target, WindowState) {
  // The desktop decides the window state of the program it starts.
  QDesktopServices::openUrl(target);
}

ShellService& Shell() {
  static DesktopShellService desktop;
  return replacement ? *replacement : desktop;
}

void SetShell(ShellService* service) { replacement = service; }

}  // namespace bracken::ui
