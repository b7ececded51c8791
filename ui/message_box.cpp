#include "ui/message_box.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>

namespace bracken::ui {

using engine::MessageAnswer;
using engine::MessageButtons;
using engine::MessageIcon;

namespace {

// Runs of this many characters without a break may be broken anywhere.
constexpr int kLongestUnbrokenRun = 40;

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}
// Ctrl+C on the box copies the text as given, without the break marks.
class CopyPlainText : public QObject {
 public:
  CopyPlainText(QString text, QObject* parent) : QObject(parent), text_(std::move(text)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
      QGuiApplication::clipboard()->setText(text_);
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QString text_;
};

}  // namespace

QString WithBreakOpportunities(const QString& text) {
  QString shown;
  shown.reserve(text.size() + text.size() / kLongestUnbrokenRun);
  int run = 0;
  for (const QChar c : text) {
    run = c.isSpace() ? 0 : run + 1;
    if (run > kLongestUnbrokenRun && !c.isLowSurrogate()) {
      shown += kBreakOpportunity;
      run = 1;
    }
    shown += c;
  }
  return shown;
}

MessageAnswer ShowMessageBox(QWidget* owner, const QString& text, const QString& caption,
                             MessageButtons buttons, MessageIcon icon) {
  return ShowMessageBox(owner, text, caption, buttons, icon, QString(), nullptr);
}

MessageAnswer ShowMessageBox(QWidget* owner, const QString& text, const QString& caption,
                             MessageButtons buttons, MessageIcon icon, const QString& checkText,
                             bool* checked) {
  // Texts built for other platforms end their lines with "\r\n".
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  // The box wraps at its own width; a long name without spaces would widen
  // it and still be cut off, so it gets places to break.
  QMessageBox box(ToQtIcon(icon), caption, WithBreakOpportunities(shown), QMessageBox::NoButton,
                  owner);
  box.setTextFormat(Qt::PlainText);
  box.installEventFilter(new CopyPlainText(shown, &box));
  box.setWindowModality(Qt::WindowModal);
  auto* checkBox = checked != nullptr ? new QCheckBox(checkText, &box) : nullptr;
  if (checkBox != nullptr) {
    checkBox->setChecked(*checked);
    box.setCheckBox(checkBox);
  }
  if (buttons != MessageButtons::Ok) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(buttons == MessageButtons::YesNo ? QMessageBox::Yes : QMessageBox::No);
    // The title bar's close button means No, as there is no Cancel.
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int answer = box.exec();
  if (checkBox != nullptr) *checked = checkBox->isChecked();
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace bracken::ui
