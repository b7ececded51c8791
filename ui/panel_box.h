#pragma once

// The frame of a panel: an etched rectangle whose top line is interrupted by
// the panel's title, drawn over the dialog's own background. It is only a
// picture: the controls it surrounds are the dialog's, not its own.

#include <QGroupBox>

namespace bracken::ui {

class PanelBox : public QGroupBox {
  Q_OBJECT

 public:
  PanelBox(const QString& title, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace bracken::ui
