#include "ui/stepped_progress_bar.h"

namespace bracken::ui {

SteppedProgressBar::SteppedProgressBar(Look look, QWidget* parent) : QProgressBar(parent) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(false);
  if (look == Look::Segmented) {
    setStyleSheet(QStringLiteral(
        "QProgressBar { border: 1px solid #9aa9bd; background: #ffffff; padding: 1px; }"
        "QProgressBar::chunk { background: #2f7d4f; width: 8px; margin-right: 2px; }"));
  }
}

void SteppedProgressBar::StepIt() {
  int next = value() + step_;
  if (next > maximum()) next = minimum();
  setValue(next);
}

}  // namespace bracken::ui
