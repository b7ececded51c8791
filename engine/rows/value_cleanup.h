#pragma once

// Clean-up of a value text before it becomes a literal, for the two kinds
// of column that store markup: Access hyperlinks and rich-text memos. Every
// other text arrives exactly as Access holds it.

#include <string>

namespace bracken::engine {

// A memo stored as rich text: removes "<div>", then "<div align=right>",
// then "<div align=center>", each with every "</div>", when the text holds
// both the opening and a "</div>". Case-sensitive throughout.
void RemoveRichTextMarkup(std::string& text);

// A hyperlink as Access stores it ("display#address#subaddress#tip"): its
// display text, else its address, else its subaddress; a text without "#"
// is kept whole.
std::string HyperlinkText(const std::string& stored);

}  // namespace bracken::engine
