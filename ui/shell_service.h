#pragma once

// The desktop shell's "open" action: the help file, the product's web pages
// and the support mail link all leave the program through here. Tests put
// their own service in place so that nothing is ever launched.

#include <QUrl>

class QWidget;

namespace bracken::ui {

enum class WindowState { Default, Maximised };

class ShellService {
 public:
  virtual ~ShellService() = default;
  // False when nothing could be started to open the target (no handler for
  // it on this system).
  virtual bool Open(const QUrl& target, WindowState state) = 0;
};

// The desktop's own handler (xdg-open and friends).
class DesktopShellService : public ShellService {
 public:
  bool Open(const QUrl& target, WindowState state) override;
};

// The service used by the program; the desktop's unless replaced.
ShellService& Shell();
// Replaces the service (nullptr restores the desktop's). The caller keeps
// ownership and must outlive its use.
void SetShell(ShellService* service);

// Opens the target through Shell(); when that fails, a message box over
// `owner` (caption "Message") gives what the user can open by hand: the help
// file's path, the web page's address or the mail address.
void OpenOrTell(QWidget* owner, const QUrl& target, WindowState state);

}  // namespace bracken::ui
