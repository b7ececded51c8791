#include "ui/help_file.h"

#include <QCoreApplication>
#include <QDir>

namespace bracken::ui {

QString HelpFilePath() {
  return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("HelpFile.html"));
}

}  // namespace bracken::ui
