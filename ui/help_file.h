#pragma once

#include <QString>

namespace bracken::ui {

// The help document in the folder of the running program, wherever the
// program was started from.
QString HelpFilePath();

}  // namespace bracken::ui
