// The two pages of the wizard and the moves between them.

#include "ui/wizard_pages.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "engine/connect_messages.h"
#include "engine/conversion_run.h"
#include "engine/schema/row_key.h"
#include "ui/check_list_box.h"
#include "ui/image_button.h"
#include "ui/main_dialog.h"

namespace bracken::ui {

void CBrackenDlg::SetFirstPageVisible(bool visible) {
  for (int id : pages::kFirstPage) Control(id)->setVisible(visible);
}

void CBrackenDlg::SetSecondPageVisible(bool visible) {
  for (int id : pages::kSecondPage) Control(id)->setVisible(visible);
  options_->setVisible(visible);
}

void CBrackenDlg::OnOptions() {
  COptionsDlg options(choices_, this);
  if (options.exec() == QDialog::Accepted) choices_ = options.Choices();
}

void CBrackenDlg::OnNext() {
  if (RunForwardAction()) ShowSecondPage();
}

void CBrackenDlg::ShowSecondPage() {
  SetFirstPageVisible(false);
  SetSecondPageVisible(true);
  tableList_->setFocus(Qt::OtherFocusReason);
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
  // The file is what a user going back most often changes.
  pathEdit_->setFocus(Qt::OtherFocusReason);
}

void CBrackenDlg::OnConvert() {
  // Convert is hidden for the whole run; a click that slips in before the
  // run has hidden it starts nothing.
  if (conversionWorker.IsRunning() || !source_) return;
  // MyISAM tables on a cluster node would reach no other node: the run
  // makes InnoDB tables, and says so before it starts.
  if (cluster_.IsCluster() && !choices_.innoDb) {
    choices_.innoDb = true;
    Inform(QString::fromStdString(
               engine::MyIsamOnClusterText(cluster_.galeraNode, cluster_.galeraClusterSize) +
               " The tables are created as InnoDB."),
           engine::MessageIcon::Information);
  }
  // Statements go through a watch that tells of a lock another client
  // holds, and lets STOP break such a wait off; it asks on a session of its
  // own, on the port this one found.
  target::ConnectOptions probeOptions;
  probeOptions.port = connection_.ConnectedPort();
  lockProbe_ =
      std::make_unique<engine::ServerLockProbe>(serverHost_, loginName_, password_, probeOptions);
  lockWatch_ = std::make_unique<engine::LockWaitWatch>(executor_, *lockProbe_);
  run_ = std::make_shared<engine::ConversionContext>(*lockWatch_, *source_);
  run_->engine = choices_.innoDb ? engine::TableEngine::InnoDB : engine::TableEngine::MyISAM;
  run_->carryRules = choices_.rules;
  run_->carryQueries = choices_.queries;
  if (cluster_.IsCluster()) {
    run_->batching.BoundWriteSets(cluster_.WriteSetRowLimit(), cluster_.WriteSetByteLimit());
  }
  // Where every table needs a primary key (a cluster node, or a server that
  // refuses tables without one), a table without one gets an invisible key
  // column, named in the report.
  run_->addRowKeys =
      engine::ServerNeedsRowKeys(cluster_) && engine::TakesInvisibleColumns(connection_.Traits());
  run_->oleObjects = choices_.oleFiles ? engine::OleObjects::Files : engine::OleObjects::Raw;
  lockWatch_->Attach(*this, *run_);
  runTables_.clear();
  for (const std::string& name : selectedTableNames) {
    if (!name.empty()) runTables_.push_back(name);
  }
  runDatabase_ = destinationEdit_->text().toStdString();
  copyingTable_.clear();
  // Lines left from a run that ended without its report are not this run's.
  reportLines_.clear();
  // STOP is offered afresh, and the progress text is the usual one.
  stopPressed_ = false;
  hideRefusals_ = false;
  stop_->setEnabled(true);
  pleaseWait_->setText(QStringLiteral("Please wait.. Database conversion is in progress."));
  rowsLabel_->clear();
  conversionWorker.Start([this, run = run_] { engine::RunConversion(*this, *run); });
}

}  // namespace bracken::ui
