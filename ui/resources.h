#pragma once

namespace bracken::ui {

// Makes the pictures and icons of the window available (safe to call often).
void RegisterResources();

}  // namespace bracken::ui
