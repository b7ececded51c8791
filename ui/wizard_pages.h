#pragma once

// Which controls make up each page of the wizard. The progress area shows
// over the second page while a conversion runs.

namespace bracken::ui::pages {

inline constexpr int kFirstPage[] = {1016, 1013, 1014, 1015, 1010, 1011, 1012,
                                     1021, 1017, 1018, 1000, 1022, 1008, 1001};
inline constexpr int kSecondPage[] = {1036, 1020, 1019, 1035, 1003, 1023,
                                      1024, 1004, 1009, 1039, 1037};
inline constexpr int kProgressArea[] = {1032, 1030, 1031, 1040, 1041, 1007, 1043};

// True for a control of the first page.
constexpr bool OnFirstPage(int id) {
  for (int control : kFirstPage) {
    if (control == id) return true;
  }
  return false;
}

}  // namespace bracken::ui::pages
