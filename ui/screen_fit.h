#pragma once

// A window of fixed size on a screen too small for it (a scaled desktop: a
// scale factor of 2 on 1920 x 1080 leaves 960 x 540): everything in it is
// drawn smaller, in proportion, so that it fits the screen's free area with
// its frame, rather than being cut off or reaching above the screen's top.

#include <QRect>

#include "ui/dialog_units.h"

class QWidget;

namespace bracken::ui {

// The room a window manager's frame and title bar take, at most.
inline constexpr int kFrameWidth = 16;
inline constexpr int kFrameHeight = 40;

// A fixed-size window laid out in 96-dpi pixels of its template grows with
// its font's average character (fonts at 144 or 192 dpi), as dialog units
// do: places, sizes, pictures and fonts given in pixels, so that the layout
// and its texts keep their proportions. Returns the factor used.
UnitScale FollowDialogFont(QWidget* window);

// The factor (1 or less) that fits a window of this size, with its frame,
// into the available area.
double FittingScale(QSize window, const QRect& available);

// Scales the fixed-size window and its direct children (places, sizes,
// fonts, pictures) down when it does not fit the available area, and moves
// it into that area; returns the factor used (1: nothing changed).
double FitOnScreen(QWidget* window, const QRect& available);

// A window that may be resized (the file dialog, the report window) takes
// at most the available area with its frame: smaller than it would like
// where the screen is small, and never below what fits.
void FitResizableOnScreen(QWidget* window, const QRect& available);

}  // namespace bracken::ui
