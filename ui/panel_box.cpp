#include "ui/panel_box.h"

#include <QPainter>

namespace bracken::ui {

namespace {
constexpr int kTitleIndent = 8;
constexpr int kTitleGap = 3;
const QColor kShadow(160, 172, 188);
const QColor kHighlight(255, 255, 255);
}  // namespace

PanelBox::PanelBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
  // Panels are frames drawn behind the controls they surround.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void PanelBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFontMetrics metrics(font());
  const int lineY = metrics.height() / 2;
  const QRect frame = rect().adjusted(0, lineY, -2, -2);
  painter.setPen(kHighlight);
  painter.drawRect(frame.translated(1, 1));
  painter.setPen(kShadow);
  painter.drawRect(frame);

  const QString text = title();
  if (text.isEmpty()) return;
  const int width = metrics.horizontalAdvance(text);
  const QRect titleArea(kTitleIndent - kTitleGap, 0, width + 2 * kTitleGap, metrics.height());
  painter.fillRect(titleArea, palette().color(QPalette::Window));
  painter.setPen(palette().color(QPalette::WindowText));
  painter.setFont(font());
  painter.drawText(titleArea, Qt::AlignCenter, text);
}

}  // namespace bracken::ui
