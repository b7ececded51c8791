// The two pages of the wizard and the moves between them.

#include <QCheckBox>
#include <QLineEdit>

#include "engine/conversion_run.h"
#include "ui/check_list_box.h"
#include "ui/image_button.h"
#include "ui/main_dialog.h"

namespace bracken::ui {

namespace {
constexpr int kFirstPage[] = {1016, 1013, 1014, 1015, 1010, 1011, 1012, 1021,
                              1017, 1018, 1000, 1022, 1008, 1001};
constexpr int kSecondPage[] = {1036, 1020, 1019, 1035, 1003, 1023, 1024, 1004, 1009, 1039, 1037};
}  // namespace

void CBrackenDlg::SetFirstPageVisible(bool visible) {
  for (int id : kFirstPage) Control(id)->setVisible(visible);
}

void CBrackenDlg::SetSecondPageVisible(bool visible) {
  for (int id : kSecondPage) Control(id)->setVisible(visible);
}

void CBrackenDlg::OnNext() {
  if (RunForwardAction()) ShowSecondPage();
}

void CBrackenDlg::ShowSecondPage() {
  SetFirstPageVisible(false);
  SetSecondPageVisible(true);
}

void CBrackenDlg::OnBack() {
  tableList_->clear();
  selectAll_->setChecked(false);
  SetFirstPageVisible(true);
  SetSecondPageVisible(false);
  loginEdit_->clear();
  passwordEdit_->clear();
  pathEdit_->clear();
  databasePasswordEdit_->clear();
  databasePasswordEdit_->setEnabled(false);
  passwordProtected_->setChecked(false);
  // Back leaves the keyboard focus on a hidden button; give it to the page.
  if (focusWidget() == nullptr || !focusWidget()->isVisible()) {
    loginEdit_->setFocus(Qt::OtherFocusReason);
  }
}

void CBrackenDlg::OnConvert() {
  // Convert is hidden for the whole run; a click that slips in before the
  // run has hidden it starts nothing.
  if (conversionWorker.IsRunning() || !source_) return;
  run_ = std::make_shared<engine::ConversionContext>(executor_, *source_);
  conversionWorker.Start([this, run = run_] { engine::RunConversion(*this, *run); });
}

}  // namespace bracken::ui
