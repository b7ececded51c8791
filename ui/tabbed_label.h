#pragma once

// A one-line label whose text holds a tab ("MySQL Server\t:"): the part
// before the tab at its left edge, the part after it at its right edge, so
// that the second part stands just before the control the label names, at
// any font size. Qt's own tab stops are fixed in pixels and would put it
// anywhere from under that control to outside the label.

#include <QLabel>

namespace bracken::ui {

class TabbedLabel : public QLabel {
 public:
  TabbedLabel(const QString& text, QWidget* parent);

  // Both parts with a space between them.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace bracken::ui
