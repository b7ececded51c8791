#pragma once

// Finds the texts of a window that its controls cut off: each control's
// text measured with its own font, plus what the style draws beside it (a
// check box's mark and spacing, a button's margin), against its rectangle.

#include <QStringList>

class QWidget;

namespace bracken::testing {

// One line per control whose text does not fit; empty when all fit.
// Labels, check boxes, buttons, panel titles, the line of each edit and the
// rows of lists are looked at, in the window and all its children.
QStringList ClippedTexts(QWidget* window);

}  // namespace bracken::testing
