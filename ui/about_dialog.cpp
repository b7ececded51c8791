#include "ui/about_dialog.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

#include "ui/dialog_units.h"
#include "ui/palette.h"
#include "ui/picture.h"
#include "ui/product_links.h"
#include "ui/resources.h"
#include "ui/screen_fit.h"
#include "ui/shell_service.h"

namespace bracken::ui {

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setTextFormat(Qt::PlainText);
  setCursor(Qt::PointingHandCursor);
  ColourAsLink(this);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
  QLabel::mouseReleaseEvent(event);
}

namespace {

QLabel* PlainLabel(const QString& text, DialogUnitRect at, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(ToPixels(at));
  ColourAsPanelText(label);
  return label;
}

LinkLabel* Link(int id, const QString& text, DialogUnitRect at, const QUrl& target,
                QWidget* parent) {
  auto* link = new LinkLabel(text, parent);
  link->setObjectName(QString::number(id));
  link->setGeometry(ToPixels(at));
  QObject::connect(link, &LinkLabel::clicked,
                   [target, parent] { OpenOrTell(parent, target, WindowState::Default); });
  return link;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  RegisterResources();
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("Quillon Database Converter - Bracken"));
  setFixedSize(ToPixels(284, 90));
  setFont(DialogFont());
  PaintPanelBackground(this);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setGeometry(ToPixels(DialogUnitRect{230, 72, 50, 16}));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  const QRect picture = ToPixels(DialogUnitRect{5, 2, 65, 60});
  MakePicture(QStringLiteral(":/images/logo_about.svg"), picture.topLeft(), QSize(97, 97), this)
      ->setObjectName(QStringLiteral("logo"));
  PlainLabel(QStringLiteral("Quillon Database Converter - Bracken"), {95, 12, 184, 8}, this);
  PlainLabel(QStringLiteral("Version : " BRACKEN_VERSION), {126, 22, 55, 8}, this);
  PlainLabel(QStringLiteral("Free for any use."), {115, 32, 78, 8}, this);
  PlainLabel(QStringLiteral("Email:"), {93, 45, 20, 8}, this);
  const QString mail = QString::fromUtf8(links::kSupportMail);
  Link(1041, mail, {115, 45, 92, 8}, QUrl(QStringLiteral("mailto:") + mail), this);
  Link(1042, QString::fromUtf8(links::kProductPageText), {93, 56, 101, 8},
       QUrl(QString::fromUtf8(links::kProductPage)), this);
  Link(1033, QString::fromUtf8(links::kSupportPageText), {93, 65, 120, 8},
       QUrl(QString::fromUtf8(links::kSupportPage)), this);
  FollowDialogFont(this);
  // The desktop's font is not the template's: a label is at least as wide
  // as its text (each has room to its right).
  for (QLabel* label : findChildren<QLabel*>()) {
    if (label->pixmap().isNull()) {
      label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
    }
  }
  ok->setFocus(Qt::OtherFocusReason);
}

}  // namespace bracken::ui
