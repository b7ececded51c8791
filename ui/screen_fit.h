#pragma once

// A window of fixed size on a screen too small for it (a scaled desktop: a
// scale factor of 2 on 1920 x 1080 leaves 960 x 540): everything in it is
// drawn smaller, in proportion, so that it fits the screen's free area with
// its frame, rather than being cut off or reaching above the screen's top.

#include <QRect>

class QWidget;

namespace bracken::ui {

// The room a window manager's frame and title bar take, at most.
inline constexpr int kFrameWidth = 16;
inline constexpr int kFrameHeight = 40;

// The factor (1 or less) that fits a window of this size, with its frame,
// into the available area.
double FittingScale(QSize window, const QRect& available);

// Scales the fixed-size window and its direct children (places, sizes,
// fonts, pictures) down when it does not fit the available area, and moves
// it into that area; returns the factor used (1: nothing changed).
double FitOnScreen(QWidget* window, const QRect& available);

}  // namespace bracken::ui
