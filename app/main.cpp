// Start of the program: the application object runs the main window
// modally, and the process ends when that window has closed.

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <string_view>

#include "target/secret_memory.h"
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

// The window takes no arguments; --help and --version answer without a
// display and end.
bool AnswerCommandLine(int& argc, char** argv) {
  bool asked = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    asked = asked || arg == "--help" || arg == "-h" || arg == "--version" || arg == "-v";
  }
  if (!asked) return false;
  QCoreApplication core(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("bracken"));
  QCoreApplication::setApplicationVersion(QStringLiteral(BRACKEN_VERSION));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Converts a Microsoft Access database (.mdb) into a MySQL or MariaDB database.\n"
      "For the command line, see bracken-cli --help."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.process(core);
  return true;
}

}  // namespace bracken

int main(int argc, char** argv) {
  // Before any password is typed: a crash leaves no core file to find it in.
  bracken::target::KeepSecretsOutOfCoreDumps();
  if (bracken::AnswerCommandLine(argc, argv)) return 0;
  bracken::CBrackenApp app(argc, argv);
  return app.InitInstance();
}
