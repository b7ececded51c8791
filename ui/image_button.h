#pragma once

// A push button drawn entirely from pictures: one for the normal look, one
// while pressed and one while disabled (without one, the normal picture is
// drawn greyed). It has no caption and takes the size
// of its normal picture. With the keyboard focus it shows a dotted frame.

#include <QAbstractButton>
#include <QSize>
#include <QString>

class QPainter;
class QSvgRenderer;

namespace bracken::ui {

struct ButtonImages {
  QString normal;
  QString pressed;
  QString disabled;  // empty: the normal picture, greyed
};

class ImageButton : public QAbstractButton {
  Q_OBJECT

 public:
  // fallbackSize is used when the normal picture cannot be read.
  ImageButton(const ButtonImages& images, QSize fallbackSize, QWidget* parent);
  // Keeps the given size and scales the pictures into it.
  void SetFixedImageSize(QSize size);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void DrawGreyed(QPainter& painter) const;
  bool ShowsFocusMark() const;
  void DrawFocusMark(QPainter& painter) const;

  QSvgRenderer* normal_;
  QSvgRenderer* pressed_;
  QSvgRenderer* disabled_;
  QSize size_;
};

}  // namespace bracken::ui
