#include "tests/ui/dialog_harness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <random>
#include <utility>

#include "ui/about_dialog.h"
#include "ui/check_list_box.h"
#include "ui/message_box.h"
#include "ui/report_dialog.h"

namespace bracken::testing {

namespace {

QStringList ReportLines(const ui::CReportDlg& report) {
  const auto* text = report.findChild<QPlainTextEdit*>("reportText");
  if (text == nullptr || text->document()->isEmpty()) return {};
  return text->toPlainText().split(QLatin1Char('\n'));
}

QString IconName(QMessageBox::Icon icon) {
  switch (icon) {
    case QMessageBox::NoIcon:
      return "none";
    case QMessageBox::Information:
      return "information";
    case QMessageBox::Question:
      return "question";
    case QMessageBox::Warning:
      return "warning";
    case QMessageBox::Critical:
      return "error";
    default:
      return "other";
  }
}

}  // namespace

ModalAnswerer::ModalAnswerer() : timer_(new QTimer) {
  QObject::connect(timer_, &QTimer::timeout, [this] { Poll(); });
  timer_->start(15);
}

ModalAnswerer::~ModalAnswerer() { delete timer_; }

QStringList ModalAnswerer::Texts() const {
  QStringList texts;
  for (const SeenBox& box : seen) texts << box.text;
  return texts;
}

void ModalAnswerer::Poll() {
  static bool answering = false;
  QWidget* modal = QApplication::activeModalWidget();
  if (answering || modal == nullptr || !modal->isVisible()) return;
  answering = true;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    const bool question = box->button(QMessageBox::Yes) != nullptr;
    // The text as given, without the marks where long runs may break.
    const QString text = QString(box->text()).remove(ui::kBreakOpportunity);
    SeenBox record{box->windowTitle(),         text, IconName(box->icon()),
                   question ? "Yes/No" : "OK", {},   {}};
    if (QPushButton* preset = box->defaultButton()) {
      record.defaultButton = preset == box->button(QMessageBox::Yes)  ? "Yes"
                             : preset == box->button(QMessageBox::No) ? "No"
                                                                      : "OK";
    }
    if (QCheckBox* check = box->checkBox()) {
      record.checkText = check->text();
      record.checkedAtStart = check->isChecked();
      if (std::exchange(tickCheckBox_, false)) check->setChecked(true);
    }
    seen.push_back(record);
    if (whileShown_) whileShown_(record);
    Answer answer = Answer::No;
    if (question && !answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
    if (answer == Answer::Enter) {
      // Where the keyboard focus is, as a user's key press would arrive.
      QWidget* target = box->focusWidget() != nullptr ? box->focusWidget() : box;
      QTest::keyClick(target, Qt::Key_Return);
    } else if (answer == Answer::YesByKeys) {
      QAbstractButton* yes = box->button(QMessageBox::Yes);
      for (int tabs = 0; tabs < 4 && box->focusWidget() != yes; ++tabs) {
        QTest::keyClick(box->focusWidget() != nullptr ? box->focusWidget() : box, Qt::Key_Tab);
      }
      QTest::keyClick(box->focusWidget() != nullptr ? box->focusWidget() : box, Qt::Key_Space);
    } else {
      QAbstractButton* button =
          question ? box->button(answer == Answer::Yes ? QMessageBox::Yes : QMessageBox::No)
                   : box->button(QMessageBox::Ok);
      if (button != nullptr) button->click();
    }
  } else if (auto* chooser = qobject_cast<QFileDialog*>(modal); chooser && !typingPending_) {
    ++fileDialogs;
    fileDialogFolders << chooser->directory().absolutePath();
    fileDialogFilters.push_back(chooser->nameFilters());
    const QString path = files_.empty() ? QString() : files_.front();
    if (!files_.empty()) files_.pop_front();

    if (path.startsWith(kTyped)) {
      // Typing and Enter in the name field, together: the dialog's own
      // clearing of the field after a folder change cannot come between.
      // It runs after this answer, as a warning it raises is answered too.
      typingPending_ = true;
      QTimer::singleShot(0, chooser, [this, chooser, typed = path.mid(kTyped.size())] {
        typingPending_ = false;
        // The field has the focus, as a user's typing gives it: the
        // dialog then drops the selection the last name made.
        chooser->activateWindow();
        QApplication::setActiveWindow(chooser);
        if (auto* name = chooser->findChild<QLineEdit*>("fileNameEdit")) {
          name->setFocus(Qt::OtherFocusReason);
          name->setText(typed);
        }
        QMetaObject::invokeMethod(chooser, "accept");
      });
    } else if (path.isEmpty()) {
      chooser->reject();
    } else {
      // As a user would: go to the folder and type the name, which may be
      // the name of a file that does not exist.
      const QFileInfo file(path);
      chooser->setDirectory(file.absolutePath());
      chooser->selectFile(file.fileName());
      if (auto* name = chooser->findChild<QLineEdit*>("fileNameEdit"))
        name->setText(file.fileName());
      static_cast<QDialog*>(chooser)->done(QDialog::Accepted);
    }
  } else if (auto* options = qobject_cast<ui::COptionsDlg*>(modal)) {
    // What it shows when it opens: "MyISAM" or "InnoDB", then "rules" or "no rules",
    // and ", no queries" with the saved queries left out, ", OLE files" with
    // OLE objects as files.
    const ui::ConversionChoices shown = options->Choices();
    SeenBox record{
        options->windowTitle(),
        QString(shown.innoDb ? "InnoDB" : "MyISAM") + (shown.rules ? ", rules" : ", no rules") +
            (shown.queries ? "" : ", no queries") + (shown.oleFiles ? ", OLE files" : ""),
        "none",
        "options",
        {},
        {}};
    seen.push_back(record);
    if (whileShown_) whileShown_(record);
    if (options_.empty()) {
      options->reject();
    } else {
      const ui::ConversionChoices wanted = options_.front();
      options_.pop_front();
      options->findChild<QComboBox*>("optionsEngine")->setCurrentIndex(wanted.innoDb ? 1 : 0);
      options->findChild<QCheckBox*>("optionsRules")->setChecked(wanted.rules);
      options->findChild<QCheckBox*>("optionsQueries")->setChecked(wanted.queries);
      options->findChild<QCheckBox*>("optionsOleFiles")->setChecked(wanted.oleFiles);
      options->accept();
    }
  } else if (auto* about = qobject_cast<ui::CAboutDlg*>(modal)) {
    SeenBox record{about->windowTitle(), {}, "none", "about", {}, {}};
    seen.push_back(record);
    if (whileShown_) whileShown_(record);
    if (auto* ok = about->findChild<QPushButton*>("1")) ok->click();
  } else if (auto* report = qobject_cast<ui::CReportDlg*>(modal); report && !leaveReports_) {
    auto* verify = report->findChild<QPushButton*>("reportVerify");
    if (verifyReports_ && verify != nullptr && verify->isVisible()) {
      verify->click();
      WaitUntil([&] { return !report->Verifying(); }, 60000);
    }
    const auto* message = report->findChild<QLabel*>("reportMessage");
    SeenBox record{
        report->windowTitle(), message ? message->text() : QString(), "none", "report", {},
        ReportLines(*report)};
    seen.push_back(record);
    if (whileShown_) whileShown_(record);
    if (auto* ok = report->findChild<QPushButton*>("reportOk")) ok->click();
  }
  answering = false;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  if (condition()) return true;
  // An event loop serves the worker's requests the moment they arrive.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  QEventLoop loop;
  QTimer tick;
  bool met = false;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    met = condition();
    if (met || std::chrono::steady_clock::now() > deadline) loop.quit();
  });
  tick.start(2);
  loop.exec();
  return met;
}

DialogUnderTest::DialogUnderTest() : dialog(std::make_unique<ui::CBrackenDlg>()) {
  dialog->SetProcessEnder([this] { ++processEnds; });
  dialog->SetReportFileChooser([this](QWidget*, const QString& proposed) {
    proposedReportPaths << proposed;
    const QString path = reportFiles.empty() ? QString() : reportFiles.front();
    if (!reportFiles.empty()) reportFiles.pop_front();
    return path;
  });
  dialog->show();
  QApplication::processEvents();
}

DialogUnderTest::~DialogUnderTest() { dialog.reset(); }

bool DialogUnderTest::Visible(int id) const { return Widget(id)->isVisible(); }

QString DialogUnderTest::Text(int id) const {
  return QString::fromStdString(dialog->ControlText(id));
}

void DialogUnderTest::SetText(int id, const QString& text) {
  dialog->SetControlText(id, text.toStdString());
}

void DialogUnderTest::Click(int id) { QTest::mouseClick(Widget(id), Qt::LeftButton); }

void DialogUnderTest::PressKey(int id, int key) {
  QTest::keyClick(Widget(id), static_cast<Qt::Key>(key));
}

void DialogUnderTest::FillFirstPage(const TestServer& server, const std::filesystem::path& file,
                                    ModalAnswerer& answerer) {
  SetText(1010, QString::fromStdString(server.host));
  SetText(1011, QString::fromStdString(server.user));
  SetText(1012, QString::fromStdString(server.password));
  answerer.ChooseFile(QString::fromStdString(file.string()));
  Click(1000);
}

bool DialogUnderTest::Next() {
  Click(1001);
  return Visible(1003) && !Visible(1001);
}

QStringList DialogUnderTest::Rows() const {
  auto* list = Find<ui::CheckListBox>(1003);
  QStringList rows;
  for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
  return rows;
}

std::vector<bool> DialogUnderTest::Marks() const {
  auto* list = Find<ui::CheckListBox>(1003);
  std::vector<bool> marks;
  for (int i = 0; i < list->count(); ++i) marks.push_back(list->IsMarked(i));
  return marks;
}

void DialogUnderTest::ClickMark(int row) {
  auto* list = Find<ui::CheckListBox>(1003);
  QStyleOptionViewItem option;
  option.initFrom(list);
  option.rect = list->visualItemRect(list->item(row));
  option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  option.text = list->item(row)->text();
  const QRect square =
      list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, square.center());
}

void DialogUnderTest::SelectRow(int row) {
  auto* list = Find<ui::CheckListBox>(1003);
  const QRect rect = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    QPoint(rect.right() - 4, rect.center().y()));
}

ScratchFolder::ScratchFolder() {
  std::random_device random;
  root_ = std::filesystem::temp_directory_path() /
          ("bracken-ui-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(root_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

namespace {

FixtureTable Table(const std::string& name, std::vector<FixtureColumn> columns,
                   std::vector<std::vector<FixtureValue>> rows) {
  FixtureTable table;
  table.name = name;
  FixtureIndex key;
  key.name = "PrimaryKey";
  key.columns = {columns.front().name};
  key.primary = true;
  key.unique = true;
  table.indexes = {key};
  table.columns = std::move(columns);
  table.rows = std::move(rows);
  return table;
}

}  // namespace

FixtureDatabase SmallShop() {
  using std::string;
  FixtureDatabase shop;
  shop.tables.push_back(Table("Customers",
                              {MakeCounter("CustomerID"), MakeColumn("Name", ColumnKind::Text, 50),
                               MakeColumn("City", ColumnKind::Text, 30)},
                              {{int64_t{1}, string("Anna Müller"), string("Zürich")},
                               {int64_t{2}, string("Bob Grey"), string("Leeds")},
                               {int64_t{3}, string("Chloé Petit"), std::monostate{}}}));
  shop.tables.push_back(Table(
      "Orders",
      {MakeCounter("OrderID"), MakeColumn("CustomerID", ColumnKind::Long),
       MakeColumn("OrderDate", ColumnKind::DateTime), MakeColumn("Amount", ColumnKind::Currency)},
      {{int64_t{1}, int64_t{1}, 39522.5, int64_t{125000}},
       {int64_t{2}, int64_t{1}, 39523.0, int64_t{99900}},
       {int64_t{3}, int64_t{2}, 39524.25, int64_t{10000}},
       {int64_t{4}, int64_t{3}, 39525.0, int64_t{5}}}));
  shop.tables.push_back(Table("Products",
                              {MakeCounter("ProductID"), MakeColumn("Name", ColumnKind::Text, 50),
                               MakeColumn("Notes", ColumnKind::Memo)},
                              {{int64_t{1}, string("Fern pot"), string("Glazed, 20 cm.")},
                               {int64_t{2}, string("Trowel"), std::monostate{}}}));
  return shop;
}

FixtureTable GeneratedTable(const std::string& name, int64_t rows) {
  FixtureTable table =
      Table(name, {MakeCounter("ID"), MakeColumn("Label", ColumnKind::Text, 40)}, {});
  table.generatedRows = rows;
  table.generator = [](int64_t index, std::vector<FixtureValue>& row) {
    row[0] = index + 1;
    row[1] = "row " + std::to_string(index + 1);
  };
  return table;
}

std::string DatabaseName(const std::string& suffix) { return "ui_" + suffix; }

}  // namespace bracken::testing
