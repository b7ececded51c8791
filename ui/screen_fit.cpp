#include "ui/screen_fit.h"

#include <QLabel>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace bracken::ui {

namespace {

int Scaled(int value, double factor) { return static_cast<int>(std::lround(value * factor)); }

QRect Scaled(const QRect& r, UnitScale factor) {
  return QRect(Scaled(r.x(), factor.across), Scaled(r.y(), factor.down),
               Scaled(r.width(), factor.across), Scaled(r.height(), factor.down));
}

enum class Fonts { All, PixelSized };

void ScaleFont(QWidget* widget, double factor, Fonts which) {
  // Only fonts set on the widget itself: the others follow their parent's.
  if (!widget->testAttribute(Qt::WA_SetFont)) return;
  QFont font = widget->font();
  if (font.pointSizeF() > 0) {
    if (which == Fonts::PixelSized) return;
    font.setPointSizeF(font.pointSizeF() * factor);
  } else if (font.pixelSize() > 0) {
    font.setPixelSize(std::max(1, Scaled(font.pixelSize(), factor)));
  }
  widget->setFont(font);
}

// Places, sizes and pictures of the window and its direct children by the
// factor; fonts as asked (the down factor, as fonts grow with line height).
void ScaleWindow(QWidget* window, UnitScale factor, Fonts which) {
  ScaleFont(window, factor.down, which);
  for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow()) continue;
    child->setGeometry(Scaled(child->geometry(), factor));
    ScaleFont(child, factor.down, which);
    if (auto* picture = qobject_cast<QLabel*>(child); picture && !picture->pixmap().isNull()) {
      picture->setScaledContents(true);
    }
  }
  window->setFixedSize(Scaled(window->width(), factor.across),
                       Scaled(window->height(), factor.down));
}

}  // namespace

UnitScale FollowDialogFont(QWidget* window) {
  const UnitScale factor = DialogFontScale(window);
  if (factor.across != 1.0 || factor.down != 1.0) ScaleWindow(window, factor, Fonts::PixelSized);
  return factor;
}

double FittingScale(QSize window, const QRect& available) {
  if (available.isEmpty() || window.isEmpty()) return 1.0;
  const double across = double(available.width() - kFrameWidth) / window.width();
  const double down = double(available.height() - kFrameHeight) / window.height();
  return std::clamp(std::min(across, down), 0.1, 1.0);
}

double FitOnScreen(QWidget* window, const QRect& available) {
  const double factor = FittingScale(window->size(), available);
  if (factor >= 1.0) return 1.0;
  ScaleWindow(window, {factor, factor}, Fonts::All);
  // The frame's top-left corner inside the free area.
  window->move(available.topLeft() + QPoint(kFrameWidth / 2, kFrameHeight - kFrameWidth / 2));
  return factor;
}

void FitResizableOnScreen(QWidget* window, const QRect& available) {
  if (available.isEmpty()) return;
  const QSize room(available.width() - kFrameWidth, available.height() - kFrameHeight);
  const QSize wanted = window->testAttribute(Qt::WA_Resized) ? window->size() : window->sizeHint();
  // An explicit minimum lets the layout give up its own where it is larger.
  const QSize least =
      window->minimumSize().isNull() ? window->minimumSizeHint() : window->minimumSize();
  window->setMinimumSize(least.boundedTo(room));
  window->resize(wanted.boundedTo(room));
}

}  // namespace bracken::ui
