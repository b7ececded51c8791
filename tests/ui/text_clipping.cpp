#include "tests/ui/text_clipping.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

namespace bracken::testing {

namespace {

QString Name(const QWidget* widget) {
  return widget->objectName().isEmpty() ? QString::fromUtf8(widget->metaObject()->className())
                                        : widget->objectName();
}

// A tab in a one-line text stands for a gap of at least a space (the part
// after it goes to the control's right edge).
QSize TextSize(const QWidget* widget, QString text) {
  text.replace(QLatin1Char('\t'), QLatin1Char(' '));
  return widget->fontMetrics().size(Qt::TextShowMnemonic, text);
}

}  // namespace

QStringList ClippedTexts(QWidget* window) {
  QStringList clipped;
  auto check = [&](const QWidget* widget, QSize needed, QSize has) {
    if (needed.width() > has.width() || needed.height() > has.height()) {
      clipped << QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
                     .arg(Name(widget), widget->property("text").toString())
                     .arg(needed.width())
                     .arg(needed.height())
                     .arg(has.width())
                     .arg(has.height());
    }
  };
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    const QStyle* style = widget->style();
    if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
      if (!label->pixmap().isNull() || label->objectName() == "qt_msgbox_label") continue;
      const int margins = 2 * (label->margin() + label->frameWidth());
      if (label->wordWrap()) {
        check(label, {0, label->heightForWidth(label->width())}, label->size());
      } else {
        check(label, TextSize(label, label->text()) + QSize(margins, margins), label->size());
      }
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
      const int indicator = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box);
      const int spacing = style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
      const QSize text = TextSize(box, box->text());
      check(box,
            {indicator + spacing + text.width(),
             std::max(text.height(), style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, box))},
            box->size());
    } else if (auto* button = qobject_cast<QPushButton*>(widget);
               button && !button->text().isEmpty()) {
      QStyleOptionButton option;
      option.initFrom(button);
      const QSize text = TextSize(button, button->text());
      const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
      check(button, text + QSize(margin, 0), button->size());
    } else if (auto* panel = qobject_cast<QGroupBox*>(widget)) {
      // The title from its indent, with a gap either side.
      check(panel, TextSize(panel, panel->title()) + QSize(14, 0), panel->size());
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      // The edit's line fits its height (long contents scroll sideways).
      check(edit, {0, edit->minimumSizeHint().height()}, edit->size());
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
      const int indicator = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, list);
      for (int row = 0; row < list->count(); ++row) {
        const QRect rect = list->visualItemRect(list->item(row));
        check(list, {0, std::max(indicator, list->fontMetrics().height())}, rect.size());
      }
    }
  }
  return clipped;
}

}  // namespace bracken::testing
