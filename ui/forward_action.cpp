// Next on the first page: check the server inputs, connect to the server,
// open the Access file and list its tables.

#include <QLabel>
#include <QLineEdit>

#include "engine/source_connection.h"
#include "ui/check_list_box.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"

namespace bracken::ui {

using engine::MessageButtons;
using engine::MessageIcon;

namespace {
constexpr const char* kConnectFailure =
    "There is an error to connect with MySQL. Please check your input parameters or server "
    "configuration.";
}  // namespace

void CBrackenDlg::Inform(const QString& text, MessageIcon icon) {
  ShowMessageBox(this, text, QStringLiteral("Message"), MessageButtons::Ok, icon);
}

bool CBrackenDlg::RunForwardAction() {
  accessPath_ = pathEdit_->text().toStdString();
  databasePassword_ = databasePasswordEdit_->text().toStdString();
  serverHost_ = hostEdit_->text().toStdString();
  loginName_ = loginEdit_->text().toStdString();
  password_ = passwordEdit_->text().toStdString();

  if (loginName_.empty()) {
    Inform(QStringLiteral("Please enter Login Name."), MessageIcon::Information);
    loginEdit_->setFocus(Qt::OtherFocusReason);
    return false;
  }
  if (password_.empty()) {
    Inform(QStringLiteral("Please enter Password."), MessageIcon::Information);
    passwordEdit_->setFocus(Qt::OtherFocusReason);
    return false;
  }
  // A connection left open by an earlier Next whose Access part failed is
  // closed here rather than abandoned.
  connection_.Close();
  const auto connected = connection_.Connect(serverHost_, loginName_, password_);
  if (connected != target::MySqlConnection::ConnectResult::Connected) {
    Inform(QString::fromUtf8(kConnectFailure), MessageIcon::None);
    loginEdit_->clear();
    passwordEdit_->clear();
    QLineEdit* focus =
        connected == target::MySqlConnection::ConnectResult::EmptyHost ? hostEdit_ : loginEdit_;
    focus->setFocus(Qt::OtherFocusReason);
    return false;
  }
  return OpenSourceDatabase() && ListTables();
}

bool CBrackenDlg::OpenSourceDatabase() {
  connectionText_ = engine::BuildConnectionText(accessPath_, databasePassword_);
  // The last run's rows are read from the old file: they go first.
  run_.reset();
  source_.reset();
  try {
    source::Catalog catalog;
    catalog.SetActiveConnection(connectionText_);
    source_ = std::make_unique<engine::CatalogSource>(std::move(catalog), connectionText_);
  } catch (const source::SourceError& error) {
    Inform(QString::fromStdString(engine::ClassifyOpenFailure(error.Description())),
           MessageIcon::None);
    return false;
  }
  return true;
}

bool CBrackenDlg::ListTables() {
  std::vector<std::string> names;
  try {
    names = engine::ListTableNames(source_->catalog());
  } catch (const source::SourceError& error) {
    // The file opened but its catalogue could not be read: say why and stay
    // on the first page, with nothing listed.
    Inform(QString::fromStdString(engine::SourceErrorMessage(error)), MessageIcon::None);
    return false;
  }
  // tableNames only grows or is rewritten entry by entry, so a file without
  // tables leaves the names of an earlier listing in place.
  for (size_t k = 0; k < names.size(); ++k) {
    tableNames.resize(k + 1);
    tableNames[k] = names[k];
    tableList_->AddItem(QString::fromStdString(names[k]));
  }
  tableCount_->setText(QString::number(names.size()));
  return true;
}

}  // namespace bracken::ui
