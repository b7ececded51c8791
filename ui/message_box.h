#pragma once

// Modal message boxes owned by a window, with the buttons and icons the
// program uses.

#include <QString>

#include "engine/conversion_owner.h"

class QMessageBox;
class QWidget;

namespace bracken::ui {

// The invisible mark where a long run of characters may break.
inline constexpr QChar kBreakOpportunity{0x200B};

// The text with a break opportunity in every run of more than 40 characters
// without a space, so that a long name wraps instead of being cut off.
QString WithBreakOpportunities(const QString& text);

// Shows the program's own picture for the box's icon, the same on every
// desktop whatever icon theme it has (or none).
void ShowOwnIconPicture(QMessageBox& box);

// Copying the box's text (Ctrl+C) gives the text without the marks.
engine::MessageAnswer ShowMessageBox(QWidget* owner, const QString& text, const QString& caption,
                                     engine::MessageButtons buttons, engine::MessageIcon icon);
// The same with a check box beneath the text, starting as *checked and
// leaving its state there when the box closes (checked nullptr: none).
engine::MessageAnswer ShowMessageBox(QWidget* owner, const QString& text, const QString& caption,
                                     engine::MessageButtons buttons, engine::MessageIcon icon,
                                     const QString& checkText, bool* checked);

}  // namespace bracken::ui
