#pragma once

// A progress bar that moves by a fixed step: 0 to 100 by 10 unless told
// otherwise. A step past the top starts the bar over from the bottom.

#include <QProgressBar>

namespace bracken::ui {

class SteppedProgressBar : public QProgressBar {
  Q_OBJECT

 public:
  enum class Look { Smooth, Segmented };
  SteppedProgressBar(Look look, QWidget* parent);

  void SetStep(int step) { step_ = step; }
  int Step() const { return step_; }
  void StepIt();

 private:
  int step_ = 10;
};

}  // namespace bracken::ui
