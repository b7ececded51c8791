#pragma once

// The program's one window: a banner, two panels whose contents change
// between the two pages of the wizard, the image buttons along the bottom
// and the progress area that shows while a conversion runs. Every control
// carries its dialog id as its object name ("1010", "1003", ...).

#include <QBasicTimer>
#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog_source.h"
#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/output/lock_wait_watch.h"
#include "engine/output/statement_executor.h"
#include "source/source_access.h"
#include "target/mysql_connection.h"
#include "target/server_cluster.h"
#include "ui/conversion_worker.h"
#include "ui/options_dialog.h"
#include "ui/report_dialog.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace bracken::ui {

class CheckListBox;
class ImageButton;
class SteppedProgressBar;

// The check box beneath a refused row's message.
inline constexpr const char* kHideRefusalsText =
    "Do not show the rest of this run's refused rows (they are listed in the report)";

class CBrackenDlg : public QDialog, public engine::ConversionOwner {
  Q_OBJECT

 public:
  explicit CBrackenDlg(QWidget* parent = nullptr);
  ~CBrackenDlg() override;

  // The control with the given dialog id, or nullptr.
  QWidget* Control(int id) const;
  // The Options chosen for the next run.
  const ConversionChoices& Choices() const { return choices_; }

  // The names listed by the last forward action, row by row.
  const std::vector<std::string>& TableNames() const { return tableNames; }
  bool ConversionRunning() const { return conversionWorker.IsRunning(); }
  bool ActivityTimerRunning() const { return activityTimer_.isActive(); }
  bool ForwardActionRunning() const { return forwardWorker_.IsRunning(); }

  // What ends the process when the user leaves during a run; the program
  // ends at once, tests record the request instead.
  void SetProcessEnder(std::function<void()> ender) { endProcess_ = std::move(ender); }
  // What asks for the file name when the report is saved; the desktop's file
  // dialog unless replaced (tests answer with a path of their own).
  void SetReportFileChooser(ReportFileChooser chooser) { reportFileChooser_ = std::move(chooser); }

  // ConversionOwner: each request runs on the interface thread.
  engine::MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                    engine::MessageButtons buttons,
                                    engine::MessageIcon icon) override;
  void ShowRowRefusal(const std::string& text, const std::string& caption,
                      const std::string& where) override;
  void SetControlVisible(int id, bool visible) override;
  void SetControlEnabled(int id, bool enabled) override;
  void SetControlText(int id, const std::string& text) override;
  std::string ControlText(int id) override;
  void SetChecked(int id, bool checked) override;
  int ListItemCount(int listId) override;
  bool ListItemChecked(int listId, int row) override;
  void SetListItemChecked(int listId, int row, bool checked) override;
  std::vector<std::string> SelectedTableNames() override;
  void SetProgressRange(int id, int low, int high) override;
  void SetProgressStep(int id, int step) override;
  void SetProgressPosition(int id, int position) override;
  void StepProgress(int id) override;
  void SetCaption(const std::string& caption) override;
  void StartTimer(int id, int periodMs) override;
  void StopTimer(int id) override;
  void ReportLine(const std::string& line) override;
  void ShowReport(const std::string& message, const std::vector<std::string>& lines) override;
  void TableRowsFound(const std::string& table, long rows) override;

 public slots:
  // Closing the window and Esc lead to the exit question.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  // Building the window.
  void CreateTemplateControls();
  void CreateImageButtons();
  void ApplyFontsAndColours();
  void WidenCutOffTexts();
  void SetTabOrder();
  void InstallKeyFilter();
  void ShowFirstPageOnly();
  template <typename Widget>
  Widget* Add(int id, Widget* widget);

  // Pages and navigation.
  void OnNext();
  void OnBack();
  void OnConvert();
  void ShowSecondPage();
  void SetFirstPageVisible(bool visible);
  void SetSecondPageVisible(bool visible);

  // The forward action of the first page: the inputs are checked here, the
  // server, the file and its tables are reached on a worker thread while
  // the window stays responsive, and the outcome is shown here again.
  struct ForwardOutcome;
  bool RunForwardAction();
  ForwardOutcome ReachServerAndFile(const target::ConnectOptions& options);
  void WaitForForwardWorker(ForwardOutcome& outcome, const target::ConnectOptions& options);
  bool ShowForwardOutcome(ForwardOutcome& outcome);
  void ListTables(const std::vector<std::string>& names);
  void Inform(const QString& text, engine::MessageIcon icon);
  // Every control but Exit is disabled while the forward action works.
  void SetBusy(bool busy);

  // The worker's requests: each runs on the interface thread after any
  // caption still waiting to be shown.
  template <typename Request>
  auto Serve(Request&& request) -> decltype(request());
  void ApplyCaptionSoon();
  void FlushCaption();
  void ShowRowProgress(const QString& caption);

  // The file name Save As proposes for the report.
  QString ReportFileName() const;
  VerifyAction VerifyThisRun();

  // First page helpers.
  void OnBrowse();
  void OnPasswordProtectedClicked();

  // Table selection.
  void OnSelectAllClicked();
  // Options on the second page: what a run carries beyond tables and rows.
  void OnOptions();
  void RefreshSelection();
  void ResizeSelection(int rows);

  // Progress, exit, help.
  void OnStop();
  // While a pressed STOP is pending, the progress text says so.
  void ShowStopNotice();
  void OnExit();
  bool AskToExit();
  // The exit question's second paragraph during a run.
  QString RunningExitWarning() const;
  void LeaveProgram();
  void OpenHelp();
  void OpenAbout();

  QHash<int, QWidget*> controls_;
  ImageButton* next_ = nullptr;
  ImageButton* logo_ = nullptr;
  ImageButton* help_ = nullptr;
  ImageButton* exit_ = nullptr;
  ImageButton* convert_ = nullptr;
  ImageButton* converting_ = nullptr;
  ImageButton* back_ = nullptr;
  ImageButton* stop_ = nullptr;
  QLineEdit* loginEdit_ = nullptr;
  QLineEdit* passwordEdit_ = nullptr;
  QLineEdit* hostEdit_ = nullptr;
  QLineEdit* pathEdit_ = nullptr;
  QLineEdit* databasePasswordEdit_ = nullptr;
  QLineEdit* destinationEdit_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* options_ = nullptr;
  QCheckBox* passwordProtected_ = nullptr;
  QCheckBox* selectAll_ = nullptr;
  CheckListBox* tableList_ = nullptr;
  QLabel* tableCount_ = nullptr;
  QLabel* pleaseWait_ = nullptr;
  QLabel* rowsLabel_ = nullptr;
  SteppedProgressBar* activityBar_ = nullptr;
  SteppedProgressBar* tableBar_ = nullptr;
  QList<QWidget*> pictures_;
  QList<QGroupBox*> panels_;

  // The inputs of the first page, taken when the forward action runs. The
  // file's password is wiped once the file is open; the server's stays for
  // the sessions each run and each verify open on the same server.
  std::string accessPath_;
  std::string databasePassword_;
  std::string serverHost_;
  std::string loginName_;
  std::string password_;

  // The open server and source file, replaced by each forward action.
  target::MySqlConnection connection_;
  engine::MySqlStatementExecutor executor_{connection_};
  std::unique_ptr<engine::CatalogSource> source_;
  // The watch the run's statements pass through, with its probe; replaced
  // per run. Declared before run_, so a run's context goes first.
  std::unique_ptr<engine::ServerLockProbe> lockProbe_;
  std::unique_ptr<engine::LockWaitWatch> lockWatch_;
  // What the current or last run shares with the window (its stop flag),
  // and the tables and database it converts, for verify at its end.
  std::shared_ptr<engine::ConversionContext> run_;
  std::vector<std::string> runTables_;
  std::string runDatabase_;

  std::vector<std::string> tableNames;
  std::vector<std::string> selectedTableNames;
  ConversionWorker conversionWorker;

  QBasicTimer activityTimer_;

  // The caption the row copy asked for last and not shown yet; shown at most
  // about ten times a second, and at once before any other request.
  std::mutex captionMutex_;
  std::optional<QString> pendingCaption_;
  bool captionQueued_ = false;
  QBasicTimer captionTimer_;
  QElapsedTimer captionShown_;
  // Rows of each table as its definition counts them, for the rows label.
  QHash<QString, qint64> tableRows_;
  // The table the current run copies (its plan has been read), for the
  // exit question; empty before the first.
  QString copyingTable_;

  // The user chose not to see the rest of this run's refused rows; each run
  // shows them afresh.
  bool hideRefusals_ = false;
  // STOP was pressed during the current run: the request is repeated with
  // each row, as a table's rows start with the request cleared.
  std::atomic<bool> stopPressed_{false};
  // The forward action's thread, and Exit having been chosen meanwhile.
  ConversionWorker forwardWorker_;
  bool leaving_ = false;
  // The Options chosen since the window opened; the next run takes them.
  ConversionChoices choices_;
  // What the server told of itself when Next reached it: on a cluster node
  // the run makes InnoDB tables and bounds its write sets.
  target::ClusterTraits cluster_;
  bool shownOnce_ = false;
  // The folder the file dialog opened last, for the next Browse.
  QString lastBrowseFolder_;
  QPointer<QWidget> focusBeforeBusy_;
  QList<QWidget*> enabledBeforeBusy_;
  // The report lines of the current run, shown at its end; a new run and the
  // report itself start them afresh.
  QStringList reportLines_;
  ReportFileChooser reportFileChooser_ = ChooseReportFileWithDialog;
  std::function<void()> endProcess_;
};

}  // namespace bracken::ui
