#include "ui/screen_fit.h"

#include <QLabel>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace bracken::ui {

namespace {

int Scaled(int value, double factor) { return static_cast<int>(std::lround(value * factor)); }

QRect Scaled(const QRect& r, double factor) {
  return QRect(Scaled(r.x(), factor), Scaled(r.y(), factor), Scaled(r.width(), factor),
               Scaled(r.height(), factor));
}

void ScaleFont(QWidget* widget, double factor) {
  // Only fonts set on the widget itself: the others follow their parent's.
  if (!widget->testAttribute(Qt::WA_SetFont)) return;
  QFont font = widget->font();
  if (font.pointSizeF() > 0) {
    font.setPointSizeF(font.pointSizeF() * factor);
  } else if (font.pixelSize() > 0) {
    font.setPixelSize(std::max(1, Scaled(font.pixelSize(), factor)));
  }
  widget->setFont(font);
}

}  // namespace

double FittingScale(QSize window, const QRect& available) {
  if (available.isEmpty() || window.isEmpty()) return 1.0;
  const double across = double(available.width() - kFrameWidth) / window.width();
  const double down = double(available.height() - kFrameHeight) / window.height();
  return std::clamp(std::min(across, down), 0.1, 1.0);
}

double FitOnScreen(QWidget* window, const QRect& available) {
  const double factor = FittingScale(window->size(), available);
  if (factor >= 1.0) return 1.0;
  ScaleFont(window, factor);
  for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    child->setGeometry(Scaled(child->geometry(), factor));
    ScaleFont(child, factor);
    if (auto* picture = qobject_cast<QLabel*>(child); picture && !picture->pixmap().isNull()) {
      picture->setScaledContents(true);
    }
  }
  window->setFixedSize(Scaled(window->width(), factor), Scaled(window->height(), factor));
  // The frame's top-left corner inside the free area.
  window->move(available.topLeft() + QPoint(kFrameWidth / 2, kFrameHeight - kFrameWidth / 2));
  return factor;
}

}  // namespace bracken::ui
