#include "ui/message_box.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QStyle>
#include <QSvgRenderer>

#include "ui/resources.h"

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
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

// The program's own picture of each icon: without an icon theme Qt draws
// rough stand-ins of its own.
QString IconPicture(QMessageBox::Icon icon) {
  switch (icon) {
    case QMessageBox::Information:
      return QStringLiteral(":/icons/message-information.svg");
    case QMessageBox::Question:
      return QStringLiteral(":/icons/message-question.svg");
    case QMessageBox::Warning:
      return QStringLiteral(":/icons/message-warning.svg");
    case QMessageBox::Critical:
      return QStringLiteral(":/icons/message-error.svg");
    case QMessageBox::NoIcon:
      break;
  }
  return {};
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

void ShowOwnIconPicture(QMessageBox& box) {
  const QString picture = IconPicture(box.icon());
  // The box keeps its icon (what assistive tools announce); only the label
  // that shows it gets the program's picture, at the style's icon size.
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"));
  if (picture.isEmpty() || label == nullptr) return;
  RegisterResources();
  const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
  const qreal ratio = box.devicePixelRatioF();
  QPixmap pixmap(QSize(size, size) * ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  QSvgRenderer(picture).render(&painter);
  painter.end();
  pixmap.setDevicePixelRatio(ratio);
  label->setPixmap(pixmap);
}

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
  ShowOwnIconPicture(box);
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
