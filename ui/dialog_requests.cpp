// The conversion worker's requests to the window. Each one is carried out on
// the interface thread while the worker waits for it, except the caption:
// the row copy asks for it after every row, and it is only noted for the
// interface thread, which shows the latest one at most about ten times a
// second, and always before it carries out any other request (so the last
// count of a table is on screen when the table's end is shown).

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimerEvent>
#include <utility>

#include "engine/control_ids.h"
#include "engine/verify/verify_run.h"
#include "ui/check_list_box.h"
#include "ui/interface_thread_call.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/report_dialog.h"
#include "ui/row_progress.h"
#include "ui/stepped_progress_bar.h"

namespace bracken::ui {

using engine::MessageAnswer;
using engine::MessageButtons;
using engine::MessageIcon;

namespace {
QString FromText(const std::string& text) { return QString::fromStdString(text); }

// The fewest milliseconds between two captions on screen.
constexpr qint64 kCaptionIntervalMs = 100;
}  // namespace

template <typename Request>
auto CBrackenDlg::Serve(Request&& request) -> decltype(request()) {
  return CallOnInterfaceThread(this, [this, &request] {
    FlushCaption();
    return request();
  });
}

MessageAnswer CBrackenDlg::ShowMessage(const std::string& text, const std::string& caption,
                                       MessageButtons buttons, MessageIcon icon) {
  return Serve(
      [&] { return ShowMessageBox(this, FromText(text), FromText(caption), buttons, icon); });
}

void CBrackenDlg::ShowRowRefusal(const std::string& text, const std::string& caption,
                                 const std::string& where) {
  Serve([&] {
    if (hideRefusals_) return;
    QString shown = FromText(text);
    if (!where.empty()) shown += QStringLiteral("\n\n") + FromText(where);
    bool hideRest = false;
    ShowMessageBox(this, shown, FromText(caption), MessageButtons::Ok, MessageIcon::None,
                   QString::fromUtf8(kHideRefusalsText), &hideRest);
    hideRefusals_ = hideRest;
  });
}

void CBrackenDlg::SetControlVisible(int id, bool visible) {
  Serve([&] {
    if (QWidget* control = Control(id)) control->setVisible(visible);
    // The rows of the current table show and hide with STOP; Options with
    // Convert, so that a run's choices stay as it started with them.
    if (id == engine::control::kStopButton) rowsLabel_->setVisible(visible);
    if (id == engine::control::kConvertButton) options_->setVisible(visible);
  });
}

void CBrackenDlg::SetControlEnabled(int id, bool enabled) {
  Serve([&] {
    if (QWidget* control = Control(id)) control->setEnabled(enabled);
  });
}

void CBrackenDlg::SetControlText(int id, const std::string& text) {
  Serve([&] {
    QWidget* control = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      edit->setText(FromText(text));
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
      label->setText(FromText(text));
      if (id == engine::control::kPleaseWaitLabel) ShowStopNotice();
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      button->setText(FromText(text));
    } else if (auto* panel = qobject_cast<QGroupBox*>(control)) {
      panel->setTitle(FromText(text));
    }
  });
}

std::string CBrackenDlg::ControlText(int id) {
  return Serve([&]() -> std::string {
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
  Serve([&] {
    if (auto* box = qobject_cast<QCheckBox*>(Control(id))) box->setChecked(checked);
  });
}

int CBrackenDlg::ListItemCount(int listId) {
  return Serve([&] {
    auto* list = qobject_cast<CheckListBox*>(Control(listId));
    return list ? list->count() : 0;
  });
}

bool CBrackenDlg::ListItemChecked(int listId, int row) {
  return Serve([&] {
    auto* list = qobject_cast<CheckListBox*>(Control(listId));
    return list != nullptr && list->IsMarked(row);
  });
}

void CBrackenDlg::SetListItemChecked(int listId, int row, bool checked) {
  Serve([&] {
    if (auto* list = qobject_cast<CheckListBox*>(Control(listId))) list->SetMarked(row, checked);
  });
}

std::vector<std::string> CBrackenDlg::SelectedTableNames() {
  return Serve([&] { return selectedTableNames; });
}

void CBrackenDlg::SetProgressRange(int id, int low, int high) {
  Serve([&] {
    if (auto* bar = qobject_cast<SteppedProgressBar*>(Control(id))) bar->setRange(low, high);
  });
}

void CBrackenDlg::SetProgressStep(int id, int step) {
  Serve([&] {
    if (auto* bar = qobject_cast<SteppedProgressBar*>(Control(id))) bar->SetStep(step);
  });
}

void CBrackenDlg::SetProgressPosition(int id, int position) {
  Serve([&] {
    if (auto* bar = qobject_cast<SteppedProgressBar*>(Control(id))) bar->setValue(position);
  });
}

void CBrackenDlg::StepProgress(int id) {
  Serve([&] {
    if (auto* bar = qobject_cast<SteppedProgressBar*>(Control(id))) bar->StepIt();
  });
}

void CBrackenDlg::SetCaption(const std::string& caption) {
  // A table's rows start with the stop request cleared; a STOP pressed
  // before them still ends the run after this table.
  if (stopPressed_.load(std::memory_order_relaxed) && run_) run_->stopRequested = true;
  std::lock_guard lock(captionMutex_);
  pendingCaption_ = FromText(caption);
  if (captionQueued_) return;
  captionQueued_ = true;
  QMetaObject::invokeMethod(
      this, [this] { ApplyCaptionSoon(); }, Qt::QueuedConnection);
}

void CBrackenDlg::ApplyCaptionSoon() {
  const qint64 since = captionShown_.isValid() ? captionShown_.elapsed() : kCaptionIntervalMs;
  if (since >= kCaptionIntervalMs) {
    FlushCaption();
  } else if (!captionTimer_.isActive()) {
    captionTimer_.start(static_cast<int>(kCaptionIntervalMs - since), Qt::PreciseTimer, this);
  }
}

void CBrackenDlg::FlushCaption() {
  std::optional<QString> caption;
  {
    std::lock_guard lock(captionMutex_);
    caption.swap(pendingCaption_);
    captionQueued_ = false;
  }
  captionTimer_.stop();
  if (!caption) return;
  setWindowTitle(*caption);
  captionShown_.start();
  ShowRowProgress(*caption);
}

void CBrackenDlg::ShowRowProgress(const QString& caption) {
  const std::optional<CaptionProgress> progress = ParseProgressCaption(caption);
  if (!progress) {
    rowsLabel_->clear();
    return;
  }
  const auto total = tableRows_.find(progress->table);
  rowsLabel_->setText(RowsText(progress->rows, total == tableRows_.end() ? -1 : total.value()));
}

// The rows the plan found replace the table's stored count for its
// "Rows: k of N" (a damaged or stale count would mislead).
void CBrackenDlg::TableRowsFound(const std::string& table, long rows) {
  Serve([&] {
    tableRows_.insert(CaptionTableName(FromText(table)), static_cast<qint64>(rows));
    copyingTable_ = FromText(table);
  });
}

void CBrackenDlg::StartTimer(int, int periodMs) {
  // The window has one timer, the activity bar's.
  Serve([&] { activityTimer_.start(periodMs, this); });
}

void CBrackenDlg::StopTimer(int) {
  Serve([&] { activityTimer_.stop(); });
}

void CBrackenDlg::ReportLine(const std::string& line) {
  Serve([&] { reportLines_.push_back(FromText(line)); });
}

void CBrackenDlg::ShowReport(const std::string& message, const std::vector<std::string>& lines) {
  Serve([&] {
    // The lines the window kept are the run's own, in the order reported.
    QStringList shown = std::exchange(reportLines_, {});
    if (shown.isEmpty()) {
      for (const std::string& line : lines) shown << FromText(line);
    }
    CReportDlg report(FromText(message), shown, this, reportFileChooser_, ReportFileName());
    report.OfferVerify(VerifyThisRun());
    report.exec();
  });
}

// Verify reads the file and the server while the run's worker waits for the
// report to close: its own session on the run's server, the run's tables in
// the run's order.
VerifyAction CBrackenDlg::VerifyThisRun() {
  if (!source_) return {};
  target::ConnectOptions options;
  options.port = connection_.ConnectedPort();
  const engine::VerifyChoices runChoices =
      run_ ? engine::VerifyChoices{run_->carryRules, run_->carryQueries, run_->oleObjects}
           : engine::VerifyChoices{};
  return [this, options, tables = runTables_, database = runDatabase_,
          choices = runChoices](const std::function<void(const std::string&)>& report) {
    target::MySqlConnection connection;
    if (connection.Connect(serverHost_, loginName_, password_, options) !=
        target::MySqlConnection::ConnectResult::Connected) {
      report("The copy could not be verified: " + connection.ErrorText());
      return;
    }
    for (const std::string& line : engine::FileDamageLines(*source_)) report(line);
    engine::VerifySummary summary = engine::VerifyTables(
        *source_, tables, connection, database,
        [&](const engine::TableVerdict& verdict) {
          for (const std::string& line : engine::VerdictLines(verdict)) {
            report(line);
          }
        },
        choices);
    for (const std::string& line : engine::SchemaLines(summary)) report(line);
    for (const std::string& line : engine::QueryLines(summary)) report(line);
    report(engine::VerifySummaryLine(database, summary));
  };
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
