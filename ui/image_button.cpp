#include "ui/image_button.h"

#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QSvgRenderer>

namespace bracken::ui {

namespace {
// How strongly a greyed picture shows over the window.
constexpr qreal kGreyedOpacity = 0.45;

// A missing picture falls back to the normal one.
QSvgRenderer* LoadPicture(const QString& path, QSvgRenderer* fallback, QObject* parent) {
  if (path.isEmpty()) return fallback;
  auto* renderer = new QSvgRenderer(path, parent);
  return renderer->isValid() ? renderer : fallback;
}
}  // namespace

ImageButton::ImageButton(const ButtonImages& images, QSize fallbackSize, QWidget* parent)
    : QAbstractButton(parent), size_(fallbackSize) {
  normal_ = new QSvgRenderer(images.normal, this);
  pressed_ = LoadPicture(images.pressed, normal_, this);
  disabled_ = LoadPicture(images.disabled, normal_, this);
  if (normal_->isValid()) size_ = normal_->defaultSize();
  setFocusPolicy(Qt::StrongFocus);
  resize(size_);
}

void ImageButton::SetFixedImageSize(QSize size) {
  size_ = size;
  resize(size_);
}

QSize ImageButton::sizeHint() const { return size_; }

void ImageButton::paintEvent(QPaintEvent*) {
  QSvgRenderer* renderer = normal_;
  if (!isEnabled()) {
    renderer = disabled_;
  } else if (isDown()) {
    renderer = pressed_;
  }
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (!isEnabled() && disabled_ == normal_ && renderer->isValid()) {
    DrawGreyed(painter);
  } else if (renderer->isValid()) {
    renderer->render(&painter, QRectF(rect()));
  } else {
    // Without its picture the button still shows where it is and what it does.
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawText(rect(), Qt::AlignCenter, accessibleName());
  }
  if (ShowsFocusMark()) DrawFocusMark(painter);
}

// A button without a picture of its own for the disabled state shows its
// normal picture without colour and faded, as the desktop greys a button.
void ImageButton::DrawGreyed(QPainter& painter) const {
  const qreal ratio = devicePixelRatioF();
  QImage picture(size() * ratio, QImage::Format_ARGB32_Premultiplied);
  picture.setDevicePixelRatio(ratio);
  picture.fill(Qt::transparent);
  {
    QPainter onPicture(&picture);
    onPicture.setRenderHint(QPainter::Antialiasing);
    normal_->render(&onPicture, QRectF(rect()));
  }
  for (int y = 0; y < picture.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb pixel = line[x];
      const int alpha = qAlpha(pixel);
      // Premultiplied: the grey of the colour keeps its alpha.
      const int grey = qGray(pixel);
      line[x] = qRgba(grey, grey, grey, alpha);
    }
  }
  painter.save();
  painter.setOpacity(kGreyedOpacity);
  painter.drawImage(QPointF(0, 0), picture);
  painter.restore();
}

bool ImageButton::ShowsFocusMark() const {
  // As the style's own focus frames: only once the keyboard has moved the
  // focus in this window, never for mouse users.
  return hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void ImageButton::DrawFocusMark(QPainter& painter) const {
  // A dotted frame just inside the picture, in the text colour over a
  // light halo so that it shows on dark and light pictures alike.
  const QRect frame = rect().adjusted(2, 2, -3, -3);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(palette().color(QPalette::Base), 1));
  painter.drawRect(frame.adjusted(-1, -1, 1, 1));
  painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
  painter.drawRect(frame);
}

}  // namespace bracken::ui
