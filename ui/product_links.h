#pragma once

// The product's addresses, kept in one place: the web page opened when the
// user leaves the program, and the links of the About box (shown text and
// the address opened).

namespace bracken::ui::links {

inline constexpr const char* kProductPage = "https://quillon.example/bracken";
inline constexpr const char* kProductPageText = "quillon.example/bracken";
inline constexpr const char* kDownloadPage = "https://quillon.example/bracken/download";
inline constexpr const char* kDownloadPageText = "quillon.example/bracken/download";
inline constexpr const char* kSupportMail = "bracken@quillon.example";

}  // namespace bracken::ui::links
