#pragma once

// The window is laid out from a template measured in dialog units of an
// 8-point dialog font. At 96 dpi one unit is 1.5 pixels across and 1.625
// pixels down, so the 418 x 324 unit dialog is 627 x 526 pixels. Dialog
// units follow the dialog font: where its characters are larger (fonts at
// 144 or 192 dpi), a unit is larger by as much, see DialogFontScale.

#include <QRect>
#include <QSize>

class QWidget;

namespace bracken::ui {

struct DialogUnitRect {
  int x;
  int y;
  int width;
  int height;
};

// Fractions are dropped, as the platform's own conversion does.
constexpr int HorizontalPixels(int units) { return units * 3 / 2; }
constexpr int VerticalPixels(int units) { return units * 13 / 8; }

inline QRect ToPixels(const DialogUnitRect& r) {
  return QRect(HorizontalPixels(r.x), VerticalPixels(r.y), HorizontalPixels(r.width),
               VerticalPixels(r.height));
}

inline QSize ToPixels(int widthUnits, int heightUnits) {
  return QSize(HorizontalPixels(widthUnits), VerticalPixels(heightUnits));
}

// How much larger than at 96 dpi the average character of a window's font
// is, across and down (1 and 1 at 96 dpi).
struct UnitScale {
  double across = 1.0;
  double down = 1.0;
};
UnitScale DialogFontScale(const QWidget* window);

}  // namespace bracken::ui
