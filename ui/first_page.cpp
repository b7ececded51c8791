// The first page's own controls: Browse and the database password box.

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QScreen>

#include "ui/main_dialog.h"
#include "ui/screen_fit.h"

namespace bracken::ui {

void CBrackenDlg::OnBrowse() {
  QFileDialog chooser(this);
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  // Any name may be typed, but its folder must exist.
  chooser.setFileMode(QFileDialog::AnyFile);
  chooser.setDefaultSuffix(QStringLiteral("mdb"));
  chooser.setNameFilter(QStringLiteral("Access Databases (*.mdb *.accdb)"));
  chooser.setObjectName(QStringLiteral("browse-dialog"));
  if (QScreen* shown = screen()) FitResizableOnScreen(&chooser, shown->availableGeometry());
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return;
  const QFileInfo chosen(chooser.selectedFiles().first());
  if (!chosen.absoluteDir().exists()) return;
  accessPath_ = chosen.absoluteFilePath().toStdString();
  pathEdit_->setText(chosen.absoluteFilePath());
  // Only the last extension goes: "Sales.2009.mdb" names the database "Sales.2009".
  destinationEdit_->setText(chosen.completeBaseName());
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
