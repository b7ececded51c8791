#include "ui/help_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace bracken::ui {

namespace {
constexpr const char* kHelpFileName = "HelpFile.html";
}  // namespace

QString HelpFilePath() {
  const QDir programFolder(QCoreApplication::applicationDirPath());
  const QString beside = programFolder.filePath(QString::fromUtf8(kHelpFileName));
  if (QFileInfo::exists(beside)) return beside;
  const QString installed = QDir::cleanPath(programFolder.filePath(
      QStringLiteral("../share/bracken/") + QString::fromUtf8(kHelpFileName)));
  return QFileInfo::exists(installed) ? installed : beside;
}

}  // namespace bracken::ui
