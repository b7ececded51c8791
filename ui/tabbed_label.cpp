#include "ui/tabbed_label.h"

#include <QPainter>
#include <QStyle>

namespace bracken::ui {

TabbedLabel::TabbedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QSize TabbedLabel::sizeHint() const {
  const QFontMetrics metrics = fontMetrics();
  QString shown = text();
  shown.replace(QLatin1Char('\t'), QLatin1Char(' '));
  return {metrics.horizontalAdvance(shown), metrics.height()};
}

void TabbedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int tab = text().indexOf(QLatin1Char('\t'));
  const QRect area = contentsRect();
  const QPalette::ColorRole role = foregroundRole();
  if (tab < 0) {
    style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignTop, palette(), isEnabled(),
                          text(), role);
    return;
  }
  style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignTop, palette(), isEnabled(),
                        text().left(tab), role);
  style()->drawItemText(&painter, area, Qt::AlignRight | Qt::AlignTop, palette(), isEnabled(),
                        text().mid(tab + 1), role);
}

}  // namespace bracken::ui
