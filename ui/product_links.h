#pragma once

// The product's addresses, kept in one place: the web page opened when the
// user leaves the program, and the links of the About box (shown text and
// the address opened).

namespace bracken::ui::links {

inline constexpr const char* kProductPage = "https://bracken.quillon.dev/";
inline constexpr const char* kProductPageText = "bracken.quillon.dev";
inline constexpr const char* kSupportPage = "https://bracken.quillon.dev/support";
inline constexpr const char* kSupportPageText = "bracken.quillon.dev/support";
inline constexpr const char* kSupportMail = "support@quillon.dev";

}  // namespace bracken::ui::links
