#pragma once

// The colours and fonts shared by the main dialog and the About box.

#include <QColor>
#include <QFont>

class QWidget;

namespace bracken::ui {

inline const QColor kPanelBackground(240, 247, 255);
inline const QColor kPathBackground(255, 255, 255);
inline const QColor kText(0, 0, 0);
inline const QColor kLinkText(0, 70, 213);

// The dialog font: 8 points of a sans serif with the metrics the layout was
// measured with (Arial's, which Liberation Sans shares), else the desktop's.
QFont DialogFont();
// The bold title of the four panels.
QFont PanelTitleFont();

// Fills the widget's whole area with the panel colour on every repaint.
void PaintPanelBackground(QWidget* widget);
// Labels, group boxes and check boxes: panel background, black text, opaque.
void ColourAsPanelText(QWidget* widget);
// The read-only path edit: white background, black text.
void ColourAsPathEdit(QWidget* widget);
// A link label of the About box.
void ColourAsLink(QWidget* widget);

}  // namespace bracken::ui
