// The conversion worker's requests to the window. Each one is carried out on
// the interface thread while the worker waits for it.

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <utility>

#include "ui/check_list_box.h"
#include "ui/interface_thread_call.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/report_dialog.h"
#include "ui/stepped_progress_bar.h"

namespace bracken::ui {

using engine::MessageAnswer;
using engine::MessageButtons;
using engine::MessageIcon;

namespace {
QString FromText(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

MessageAnswer CBrackenDlg::ShowMessage(const std::string& text, const std::string& caption,
                                       MessageButtons buttons, MessageIcon icon) {
  return CallOnInterfaceThread(
      this, [&] { return ShowMessageBox(this, FromText(text), FromText(caption), buttons, icon); });
}

void CBrackenDlg::SetControlVisible(int id, bool visible) {
  CallOnInterfaceThread(this, [&] {
    if (QWidget* control = Control(id)) control->setVisible(visible);
  });
}

void CBrackenDlg::SetControlEnabled(int id, bool enabled) {
  CallOnInterfaceThread(this, [&] {
    if (QWidget* control = Control(id)) control->setEnabled(enabled);
  });
}

void CBrackenDlg::SetControlText(int id, const std::string& text) {
  CallOnInterfaceThread(this, [&] {
    QWidget* control = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      edit->setText(FromText(text));
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
      label->setText(FromText(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      button->setText(FromText(text));
    } else if (auto* panel = qobject_cast<QGroupBox*>(control)) {
      panel->setTitle(FromText(text));
    }
  });
}

std::string CBrackenDlg::ControlText(int id) {
  return CallOnInterfaceThread(this, [&]() -> std::string {
    QWidget* control = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      return button->text().toStdString();
    }
    if (auto* panel = qobject_cast<QGroupBox*>(control)) return panel->title().toStdString();
    return {};
  });
}

void CBrackenDlg::SetChecked(int id, bool checked) {
  CallOnInterfaceThread(this, [&] {
    if (auto* box = qobject_cast<QCheckBox*>(Control(id))) box->setChecked(checked);
  });
}

int CBrackenDlg::ListItemCount(int listId) {
  return CallOnInterfaceThread(this, [&] {
    auto* list = qobject_cast<CheckListBox*>(Control(listId));
    return list ? list->count() : 0;
  });
}

bool CBrackenDlg::ListItemChecked(int listId, int row) {
  return CallOnInterfaceThread(this, [&] {
    auto* list = qobject_cast<CheckListBox*>(Control(listId));
    return list != nullptr && list->IsMarked(row);
  });
}

void CBrackenDlg::SetListItemChecked(int listId, int row, bool checked) {
  CallOnInterfaceThread(this, [&] {
    if (auto* list = qobject_cast<CheckListBox*>(Control(listId))) list->SetMarked(row, checked);
  });
}

std::vector<std::string> CBrackenDlg::SelectedTableNames() {
  return CallOnInterfaceThread(this, [&] { return selectedTableNames; });
}

void CBrackenDlg::SetProgressRange(int id, int low, int high) {
  CallOnInterfaceThread(this, [&] {
    if (auto* bar = qobject_cast<SteppedProgressBar*>(Control(id))) bar->setRange(low, high);
  });
}

void CBrackenDlg::SetProgressStep(int id, int step) {
  CallOnInterfaceThread(this, [&] {
    if (auto* bar = qobject_cast<SteppedProgressBar*>(Control(id))) bar->SetStep(step);
  });
}

void CBrackenDlg::SetProgressPosition(int id, int position) {
  CallOnInterfaceThread(this, [&] {
    if (auto* bar = qobject_cast<SteppedProgressBar*>(Control(id))) bar->setValue(position);
  });
}

void CBrackenDlg::StepProgress(int id) {
  CallOnInterfaceThread(this, [&] {
    if (auto* bar = qobject_cast<SteppedProgressBar*>(Control(id))) bar->StepIt();
  });
}

void CBrackenDlg::SetCaption(const std::string& caption) {
  CallOnInterfaceThread(this, [&] { setWindowTitle(FromText(caption)); });
}

void CBrackenDlg::StartTimer(int, int periodMs) {
  // The window has one timer, the activity bar's.
  CallOnInterfaceThread(this, [&] { activityTimer_.start(periodMs, this); });
}

void CBrackenDlg::StopTimer(int) {
  CallOnInterfaceThread(this, [&] { activityTimer_.stop(); });
}

void CBrackenDlg::ReportLine(const std::string& line) {
  CallOnInterfaceThread(this, [&] { reportLines_.push_back(FromText(line)); });
}

void CBrackenDlg::ShowReport(const std::string& message, const std::vector<std::string>& lines) {
  CallOnInterfaceThread(this, [&] {
    // The lines the window kept are the run's own, in the order reported.
    QStringList shown = std::exchange(reportLines_, {});
    if (shown.isEmpty()) {
      for (const std::string& line : lines) shown << FromText(line);
    }
    CReportDlg report(FromText(message), shown, this, reportFileChooser_, ReportFileName());
    report.exec();
  });
}

QString CBrackenDlg::ReportFileName() const {
  // Named after the destination database, without anything that would make
  // it a path of its own.
  QString name = destinationEdit_->text().trimmed();
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  if (name.isEmpty() || name.startsWith(QLatin1Char('.'))) name = QStringLiteral("Bracken");
  return name + QStringLiteral(" report.txt");
}

}  // namespace bracken::ui
