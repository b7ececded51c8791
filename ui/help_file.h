#pragma once

#include <QString>

namespace bracken::ui {

// The help document beside the running program, wherever the program was
// started from. An installed program keeps it in ../share/bracken instead;
// that place is used when there is none beside the program.
QString HelpFilePath();

}  // namespace bracken::ui
