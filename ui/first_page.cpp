// The first page's own controls: Browse and the database password box.

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QScreen>

#include "ui/main_dialog.h"
#include "ui/screen_fit.h"

namespace bracken::ui {

void CBrackenDlg::OnBrowse() {
  // The dialog starts where the last one ended, else in the home folder.
  const QString start = lastBrowseFolder_.isEmpty() || !QFileInfo(lastBrowseFolder_).isDir()
                            ? QDir::homePath()
                            : lastBrowseFolder_;
  QFileDialog chooser(this, QString(), start);
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  // Only a file that exists is taken; a typed folder opens instead.
  chooser.setFileMode(QFileDialog::ExistingFile);
  chooser.setNameFilters(
      {QStringLiteral("Access Databases (*.mdb *.accdb)"), QStringLiteral("All files (*)")});
  chooser.setObjectName(QStringLiteral("browse-dialog"));
  if (QScreen* shown = screen()) FitResizableOnScreen(&chooser, shown->availableGeometry());
  const bool chosen = chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty();
  lastBrowseFolder_ = chooser.directory().absolutePath();
  if (!chosen) return;
  const QFileInfo file(chooser.selectedFiles().first());
  lastBrowseFolder_ = file.absolutePath();
  accessPath_ = file.absoluteFilePath().toStdString();
  pathEdit_->setText(file.absoluteFilePath());
  // Only the last extension goes: "Sales.2009.mdb" names the database "Sales.2009".
  destinationEdit_->setText(file.completeBaseName());
}

void CBrackenDlg::OnPasswordProtectedClicked() {
  if (passwordProtected_->isChecked()) {
    databasePasswordEdit_->setEnabled(true);
    databasePasswordEdit_->setFocus(Qt::OtherFocusReason);
  } else {
    databasePasswordEdit_->setEnabled(false);
    databasePasswordEdit_->clear();
  }
}

}  // namespace bracken::ui
