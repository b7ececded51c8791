// Next on the first page: check the server inputs, connect to the server,
// open the Access file and list its tables. The connection, the file and
// its catalogue are reached on a worker thread: a silent server or a slow
// disk leaves the window responsive, and Exit still ends the program.

#include <QApplication>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <utility>

#include "engine/connect_messages.h"
#include "engine/source_connection.h"
#include "source/access_data.h"
#include "target/secret_memory.h"
#include "ui/check_list_box.h"
#include "ui/image_button.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"
#include "ui/row_progress.h"
#include "ui/server_address.h"
#include "ui/wizard_pages.h"

namespace bracken::ui {

using engine::MessageButtons;
using engine::MessageIcon;

// What the worker found; the interface thread shows it.
struct CBrackenDlg::ForwardOutcome {
  enum class Step { ConnectFailed, OpenFailed, ListFailed, Listed };
  Step step = Step::ConnectFailed;
  target::MySqlConnection::ConnectResult connected =
      target::MySqlConnection::ConnectResult::Refused;
  // Why no server took the login (the last attempt's reason), or why one that
  // took it refused the session; with the error number.
  std::string refusal;
  unsigned int refusalCode = 0;
  std::string failure;  // the message of a failed open or listing
  std::unique_ptr<engine::CatalogSource> source;
  std::vector<std::string> names;
  QHash<QString, qint64> rows;
  std::vector<std::string> damage;  // what of the catalogue cannot be read
  // Whether the server is a cluster node (a server that does not tell is
  // taken for a single one).
  target::ClusterTraits cluster;
};

void CBrackenDlg::Inform(const QString& text, MessageIcon icon) {
  ShowMessageBox(this, text, QStringLiteral("Message"), MessageButtons::Ok, icon);
}

namespace {

// The row count each table's definition holds, by the name the row copy's
// caption gives it.
QHash<QString, qint64> TableRows(const source::Catalog& catalog) {
  QHash<QString, qint64> rows;
  const auto data = catalog.Database();
  if (!data) return rows;
  for (const auto& table : data->tableData) {
    if (table && table->definition) {
      rows.insert(CaptionTableName(QString::fromStdString(table->name)),
                  static_cast<qint64>(table->definition->rowCount));
    }
  }
  return rows;
}

}  // namespace

bool CBrackenDlg::RunForwardAction() {
  accessPath_ = pathEdit_->text().toStdString();
  databasePassword_ = databasePasswordEdit_->text().toStdString();
  serverHost_ = hostEdit_->text().toStdString();
  loginName_ = loginEdit_->text().toStdString();
  password_ = passwordEdit_->text().toStdString();

  if (loginName_.empty()) {
    target::WipeSecret(databasePassword_);
    Inform(QStringLiteral("Please enter Login Name."), MessageIcon::Information);
    loginEdit_->setFocus(Qt::OtherFocusReason);
    return false;
  }
  if (password_.empty()) {
    target::WipeSecret(databasePassword_);
    Inform(QStringLiteral("Please enter Password."), MessageIcon::Information);
    passwordEdit_->setFocus(Qt::OtherFocusReason);
    return false;
  }
  ForwardOutcome outcome;
  const std::optional<ServerAddress> address = ParseServerAddress(serverHost_);
  if (!address) {
    // A port that is no port: the server cannot be reached as given.
    connection_.Close();
    target::WipeSecret(databasePassword_);
    outcome.connected = target::MySqlConnection::ConnectResult::EmptyHost;
    outcome.refusal = "'" + serverHost_ +
                      "' is not a server address: a port after ':' must be a number from 1 to "
                      "65535, and an IPv6 address in brackets needs its closing ']'.";
  } else {
    target::ConnectOptions options;
    options.port = address->port;
    serverHost_ = address->host;
    // The last run's rows are read from the old file: they go first.
    run_.reset();
    WaitForForwardWorker(outcome, options);
    if (leaving_) return false;
  }
  return ShowForwardOutcome(outcome);
}

void CBrackenDlg::WaitForForwardWorker(ForwardOutcome& outcome,
                                       const target::ConnectOptions& options) {
  SetBusy(true);
  QEventLoop loop;
  forwardWorker_.Start([this, &outcome, &options, &loop] {
    outcome = ReachServerAndFile(options);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  // Exit, the title bar and Esc are served meanwhile.
  loop.exec();
  SetBusy(false);
}

// On the worker thread: touches only the connection and the outcome.
CBrackenDlg::ForwardOutcome CBrackenDlg::ReachServerAndFile(const target::ConnectOptions& options) {
  ForwardOutcome outcome;
  // A connection left open by an earlier Next whose Access part failed is
  // closed here rather than abandoned.
  connection_.Close();
  outcome.connected = connection_.Connect(serverHost_, loginName_, password_, options);
  if (outcome.connected != target::MySqlConnection::ConnectResult::Connected) {
    target::WipeSecret(databasePassword_);
    const bool session =
        outcome.connected == target::MySqlConnection::ConnectResult::SessionRefused;
    outcome.refusal = session ? connection_.ErrorText() : connection_.ConnectRefusal();
    outcome.refusalCode = session ? 0 : connection_.ConnectRefusalNumber();
    return outcome;
  }
  outcome.cluster = target::ReadClusterTraits(connection_).value_or(target::ClusterTraits{});
  // The source keeps the one copy of the file's password that reopening its
  // tables needs; the window's own goes once the file is open.
  std::string connectionText = engine::BuildConnectionText(accessPath_, databasePassword_);
  target::WipeSecret(databasePassword_);
  try {
    source::Catalog catalog;
    catalog.SetActiveConnection(connectionText);
    outcome.rows = TableRows(catalog);
    outcome.source =
        std::make_unique<engine::CatalogSource>(std::move(catalog), std::move(connectionText));
  } catch (const source::SourceError& error) {
    target::WipeSecret(connectionText);
    outcome.step = ForwardOutcome::Step::OpenFailed;
    outcome.failure = engine::ClassifyOpenFailure(error.Description());
    return outcome;
  }
  try {
    outcome.names = engine::ListTableNames(outcome.source->catalog());
    outcome.damage = outcome.source->catalog().Damage();
  } catch (const source::SourceError& error) {
    // The file opened but its catalogue could not be read.
    outcome.step = ForwardOutcome::Step::ListFailed;
    outcome.failure = engine::SourceErrorMessage(error);
    return outcome;
  }
  outcome.step = ForwardOutcome::Step::Listed;
  return outcome;
}

bool CBrackenDlg::ShowForwardOutcome(ForwardOutcome& outcome) {
  using Step = ForwardOutcome::Step;
  if (outcome.connected != target::MySqlConnection::ConnectResult::Connected) {
    const bool session =
        outcome.connected == target::MySqlConnection::ConnectResult::SessionRefused;
    Inform(QString::fromStdString(
               session ? engine::SessionRefusedMessage(outcome.refusal)
                       : engine::ConnectFailureMessage(outcome.refusal, outcome.refusalCode)),
           MessageIcon::None);
    loginEdit_->clear();
    passwordEdit_->clear();
    QLineEdit* focus = outcome.connected == target::MySqlConnection::ConnectResult::EmptyHost
                           ? hostEdit_
                           : loginEdit_;
    focus->setFocus(Qt::OtherFocusReason);
    return false;
  }
  source_ = std::move(outcome.source);
  tableRows_ = std::move(outcome.rows);
  cluster_ = outcome.cluster;
  if (outcome.step != Step::Listed) {
    // Say why and stay on the first page, with nothing listed.
    Inform(QString::fromStdString(outcome.failure), MessageIcon::None);
    return false;
  }
  ListTables(outcome.names);
  if (!outcome.damage.empty()) {
    Inform(QString::fromStdString(engine::FileDamageMessage(outcome.damage)), MessageIcon::Error);
  }
  return true;
}

void CBrackenDlg::ListTables(const std::vector<std::string>& names) {
  // tableNames only grows or is rewritten entry by entry, so a file without
  // tables leaves the names of an earlier listing in place.
  for (size_t k = 0; k < names.size(); ++k) {
    tableNames.resize(k + 1);
    tableNames[k] = names[k];
    tableList_->AddItem(QString::fromStdString(names[k]));
  }
  tableCount_->setText(QString::number(names.size()));
}

void CBrackenDlg::SetBusy(bool busy) {
  if (busy) {
    focusBeforeBusy_ = focusWidget();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    enabledBeforeBusy_.clear();
    for (auto it = controls_.begin(); it != controls_.end(); ++it) {
      // Labels and panels keep their look; Exit keeps working.
      QWidget* control = it.value();
      const bool passive = qobject_cast<QLabel*>(control) || qobject_cast<QGroupBox*>(control);
      if (control == exit_ || passive || !control->isEnabled()) continue;
      if (!pages::OnFirstPage(it.key()) && control != help_ && control != logo_) continue;
      enabledBeforeBusy_ << control;
      control->setEnabled(false);
    }
    return;
  }
  QApplication::restoreOverrideCursor();
  for (QWidget* control : std::exchange(enabledBeforeBusy_, {})) control->setEnabled(true);
  // Disabling moved the focus on; it returns where the user left it.
  if (focusBeforeBusy_) focusBeforeBusy_->setFocus(Qt::OtherFocusReason);
}

}  // namespace bracken::ui
