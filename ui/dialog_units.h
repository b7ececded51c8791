#pragma once

// The window is laid out from a template measured in dialog units of an
// 8-point dialog font. On this desktop one unit is 1.5 pixels across and
// 1.625 pixels down, so the 418 x 324 unit dialog is 627 x 526 pixels.

#include <QRect>
#include <QSize>

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

}  // namespace bracken::ui
