#include "ui/dialog_units.h"

#include <QFontMetricsF>
#include <QWidget>

namespace bracken::ui {

namespace {

// The average character as the platform measures it for dialog units: the
// mean advance of the 52 Latin letters, and the font's line height.
QSizeF AverageCharacter(const QFont& font, const QWidget* device) {
  static const QString kLetters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const QFontMetricsF metrics(font, device);
  return {metrics.horizontalAdvance(kLetters) / kLetters.size(), metrics.height()};
}

}  // namespace

UnitScale DialogFontScale(const QWidget* window) {
  const QFont font = window->font();
  const double dpi = window->logicalDpiY();
  if (font.pointSizeF() <= 0 || dpi <= 0) return {};
  // The same font as it would be at 96 dpi, measured on the same device.
  QFont reference = font;
  reference.setPointSizeF(font.pointSizeF() * 96.0 / dpi);
  const QSizeF now = AverageCharacter(font, window);
  const QSizeF then = AverageCharacter(reference, window);
  if (then.isEmpty()) return {};
  return {now.width() / then.width(), now.height() / then.height()};
}

}  // namespace bracken::ui
