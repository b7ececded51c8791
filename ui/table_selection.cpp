// The marks of the table list, "Select All", and the list of chosen names
// that the conversion reads.

#include <QCheckBox>

#include "ui/check_list_box.h"
#include "ui/image_button.h"
#include "ui/main_dialog.h"

namespace bracken::ui {

void CBrackenDlg::ResizeSelection(int rows) { selectedTableNames.resize(rows); }

void CBrackenDlg::OnSelectAllClicked() {
  back_->setFocus(Qt::OtherFocusReason);
  const int rows = tableList_->count();
  ResizeSelection(rows);
  if (selectAll_->isChecked()) {
    for (int i = 0; i < rows && i < static_cast<int>(tableNames.size()); ++i) {
      tableList_->SetMarked(i, true);
      selectedTableNames[i] = tableNames[i];
    }
  } else {
    for (int i = 0; i < rows; ++i) tableList_->SetMarked(i, false);
    selectedTableNames.clear();
  }
}

// Runs on every selection change and on every change of a mark, so that a
// marked row always has its name in the list the conversion reads.
void CBrackenDlg::RefreshSelection() {
  const int rows = tableList_->count();
  ResizeSelection(rows);
  bool unmarkedSeen = false;
  for (int i = 0; i < rows && i < static_cast<int>(tableNames.size()); ++i) {
    if (tableList_->IsMarked(i)) {
      selectedTableNames[i] = tableNames[i];
      selectAll_->setChecked(!unmarkedSeen);
    } else {
      selectAll_->setChecked(false);
      unmarkedSeen = true;
    }
  }
}

}  // namespace bracken::ui
