#pragma once

// Clean-up of a value text before it becomes a literal: Access hyperlinks
// and the markup of rich-text memos.

#include <string>

namespace bracken::engine {

// Applies, in order: the mail hyperlink cut, the removal of "<div>",
// "<div align=right>" and "<div align=center>" with their "</div>", and the
// web hyperlink cut. Case-sensitive throughout.
void CleanValueText(std::string& text);

// An Access hyperlink as stored ("display#address#..."): its display text,
// or its address when the display text is empty.
std::string HyperlinkText(const std::string& stored);

}  // namespace bracken::engine
