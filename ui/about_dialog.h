#pragma once

// The About box: the product's name, version and contact links.

#include <QDialog>
#include <QLabel>

namespace bracken::ui {

// A label that reports clicks and shows the hand cursor while the mouse is
// over it.
class LinkLabel : public QLabel {
  Q_OBJECT

 public:
  LinkLabel(const QString& text, QWidget* parent);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent);
};

}  // namespace bracken::ui
