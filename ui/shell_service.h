#pragma once

// The desktop shell's "open" action: the help file, the product's web pages
// and the support mail link all leave the program through here. Tests put
// their own service in place so that nothing is ever launched.

#include <QUrl>

namespace bracken::ui {

enum class WindowState { Default, Maximised };

class ShellService {
 public:
  virtual ~ShellService() = default;
  // The result is not checked by any caller.
  virtual void Open(const QUrl& target, WindowState state) = 0;
};

// The desktop's own handler (xdg-open and friends).
class DesktopShellService : public ShellService {
 public:
  void Open(const QUrl& target, WindowState state) override;
};

// The service used by the program; the desktop's unless replaced.
ShellService& Shell();
// Replaces the service (nullptr restores the desktop's). The caller keeps
// ownership and must outlive its use.
void SetShell(ShellService* service);

}  // namespace bracken::ui
