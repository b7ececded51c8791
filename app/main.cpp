// Start of the program: the application object runs the main window
// modally, and the process ends when that window has closed.

#include <QApplication>
#include <QIcon>

#include "ui/main_dialog.h"

namespace bracken {

class CBrackenApp : public QApplication {
 public:
  CBrackenApp(int& argc, char** argv) : QApplication(argc, argv) {}

  int InitInstance() {
    // Nothing is ever read from or written to this settings area.
    setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    setApplicationName(QStringLiteral("Bracken"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/bracken.svg")));
    setQuitOnLastWindowClosed(false);
    ui::CBrackenDlg dialog;
    dialog.exec();
    return 0;
  }
};

}  // namespace bracken

int main(int argc, char** argv) {
  bracken::CBrackenApp app(argc, argv);
  return app.InitInstance();
}
