#include "ui/picture.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace bracken::ui {

QLabel* MakePicture(const QString& path, QPoint topLeft, QSize fallbackSize, QWidget* parent) {
  auto* label = new QLabel(parent);
  QSvgRenderer renderer(path);
  const QSize size = renderer.isValid() ? renderer.defaultSize() : fallbackSize;
  label->setGeometry(QRect(topLeft, size));
  if (renderer.isValid()) {
    const qreal ratio = parent ? parent->devicePixelRatioF() : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    label->setPixmap(pixmap);
  }
  return label;
}

}  // namespace bracken::ui
