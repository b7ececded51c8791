#pragma once

// A static picture drawn from SVG artwork at its own size.

#include <QLabel>
#include <QSize>
#include <QString>

namespace bracken::ui {

// A label showing the picture at its own size (fallbackSize when the
// artwork cannot be read), its top-left corner at topLeft.
QLabel* MakePicture(const QString& path, QPoint topLeft, QSize fallbackSize, QWidget* parent);

}  // namespace bracken::ui
