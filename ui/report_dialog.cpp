#include "ui/report_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/message_box.h"
#include "ui/palette.h"
#include "ui/screen_fit.h"

namespace bracken::ui {

namespace {

constexpr QSize kInitialSize(560, 360);
constexpr QSize kSmallestSize(360, 200);

// Texts built for other platforms end their lines with "\r\n".
QString WithUnixLineEnds(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

QString OneLine(QString entry) {
  entry.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
  entry.replace(QLatin1Char('\r'), QLatin1Char(' '));
  entry.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return entry;
}

QStringList OneLineEach(const QStringList& lines) {
  QStringList entries;
  entries.reserve(lines.size());
  for (const QString& line : lines) entries << OneLine(line);
  return entries;
}

QPushButton* MakeButton(const QString& text, const QString& name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

QString ChooseReportFileWithDialog(QWidget* parent, const QString& proposedPath) {
  QFileDialog chooser(parent, QStringLiteral("Save As"), proposedPath,
                      QStringLiteral("Text files (*.txt);;All files (*)"));
  chooser.setObjectName(QStringLiteral("report-save-dialog"));
  chooser.setAcceptMode(QFileDialog::AcceptSave);
  chooser.setFileMode(QFileDialog::AnyFile);
  // A name typed without an extension is saved as a text file.
  chooser.setDefaultSuffix(QStringLiteral("txt"));
  QWidget* over = parent != nullptr ? parent : &chooser;
  if (QScreen* shown = over->screen()) FitResizableOnScreen(&chooser, shown->availableGeometry());
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return {};
  return chooser.selectedFiles().first();
}

QString ReportText(const QString& message, const QStringList& lines) {
  QString text = WithUnixLineEnds(message) + QLatin1Char('\n');
  for (const QString& line : lines) text += OneLine(line) + QLatin1Char('\n');
  return text;
}

CReportDlg::CReportDlg(const QString& message, const QStringList& lines, QWidget* parent,
                       ReportFileChooser chooser, const QString& proposedName)
    : QDialog(parent),
      message_(message),
      lines_(lines),
      chooser_(std::move(chooser)),
      proposedPath_(QDir::home().filePath(proposedName)) {
  setObjectName(QStringLiteral("reportWindow"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Message"));
  setWindowModality(Qt::WindowModal);
  setFont(DialogFont());
  PaintPanelBackground(this);
  setSizeGripEnabled(true);
  setMinimumSize(kSmallestSize);
  resize(kInitialSize);

  messageLabel_ = new QLabel(WithUnixLineEnds(message), this);
  messageLabel_->setObjectName(QStringLiteral("reportMessage"));
  messageLabel_->setTextFormat(Qt::PlainText);
  messageLabel_->setWordWrap(true);
  messageLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ColourAsPanelText(messageLabel_);

  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("reportText"));
  text_->setReadOnly(true);
  text_->setUndoRedoEnabled(false);
  // One entry per line; a long entry wraps at the window's width.
  text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  text_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  text_->setPlainText(OneLineEach(lines).join(QLatin1Char('\n')));
  ColourAsPathEdit(text_);

  verify_ = MakeButton(QStringLiteral("Verify the Copy"), QStringLiteral("reportVerify"), this);
  verify_->setVisible(false);
  connect(verify_, &QPushButton::clicked, this, &CReportDlg::OnVerify);
  save_ = MakeButton(QStringLiteral("Save As..."), QStringLiteral("reportSave"), this);
  ok_ = MakeButton(QStringLiteral("OK"), QStringLiteral("reportOk"), this);
  ok_->setDefault(true);
  connect(save_, &QPushButton::clicked, this, &CReportDlg::OnSaveAs);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(verify_);
  buttons->addStretch();
  buttons->addWidget(save_);
  buttons->addWidget(ok_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(messageLabel_);
  layout->addWidget(text_, 1);
  layout->addLayout(buttons);
  // On a small (or scaled) screen the window is no larger than its free area.
  if (QScreen* shown = parent != nullptr ? parent->screen() : screen()) {
    FitResizableOnScreen(this, shown->availableGeometry());
  }
  ok_->setFocus(Qt::OtherFocusReason);
}

CReportDlg::~CReportDlg() {
  if (verifier_.joinable()) verifier_.join();
}

void CReportDlg::OfferVerify(VerifyAction action) {
  verifyAction_ = std::move(action);
  verify_->setVisible(static_cast<bool>(verifyAction_));
}

void CReportDlg::reject() {
  if (!Verifying()) QDialog::reject();
}

void CReportDlg::OnVerify() {
  if (!verifyAction_ || Verifying()) return;
  verify_->setEnabled(false);
  save_->setEnabled(false);
  ok_->setEnabled(false);
  setCursor(Qt::BusyCursor);
  AppendLine(QStringLiteral("Verifying the copy against the file..."));
  verifier_ = std::thread([this, action = verifyAction_] {
    action([this](const std::string& line) {
      QMetaObject::invokeMethod(
          this, [this, text = QString::fromStdString(line)] { AppendLine(text); },
          Qt::QueuedConnection);
    });
    QMetaObject::invokeMethod(
        this, [this] { OnVerifyDone(); }, Qt::QueuedConnection);
  });
}

void CReportDlg::AppendLine(const QString& line) {
  const QString one = OneLineEach({line}).front();
  lines_ << one;
  text_->appendPlainText(one);
}

void CReportDlg::OnVerifyDone() {
  verifier_.join();
  unsetCursor();
  save_->setEnabled(true);
  ok_->setEnabled(true);
  ok_->setFocus(Qt::OtherFocusReason);
}

void CReportDlg::OnSaveAs() {
  if (!chooser_) return;
  const QString path = chooser_(this, proposedPath_);
  if (path.isEmpty()) return;
  // Save As again starts from the last file chosen.
  if (SaveTo(path)) proposedPath_ = path;
}

bool CReportDlg::SaveTo(const QString& path) {
  QSaveFile file(path);
  // A writable file in a folder that is not still takes the report.
  file.setDirectWriteFallback(true);
  const QByteArray bytes = ReportText(message_, lines_).toUtf8();
  if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) {
    return true;
  }
  const QString reason = file.errorString();
  file.cancelWriting();
  ShowMessageBox(this,
                 QStringLiteral("The report could not be saved to \"%1\".\n%2").arg(path, reason),
                 QStringLiteral("Message"), engine::MessageButtons::Ok, engine::MessageIcon::Error);
  return false;
}

}  // namespace bracken::ui
