#pragma once

// Modal message boxes owned by a window, with the buttons and icons the
// program uses.

#include <QString>

#include "engine/conversion_owner.h"

class QWidget;

namespace bracken::ui {

engine::MessageAnswer ShowMessageBox(QWidget* owner, const QString& text, const QString& caption,
                                     engine::MessageButtons buttons, engine::MessageIcon icon);

}  // namespace bracken::ui
