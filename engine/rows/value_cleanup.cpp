#include "engine/rows/value_cleanup.h"

#include <string_view>

namespace bracken::engine {

namespace {

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

void RemoveAll(std::string& text, std::string_view part) {
  std::string out;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(part, from)) != std::string::npos; from = at + part.size()) {
    out.append(text, from, at - from);
  }
  if (from == 0) return;
  out.append(text, from, std::string::npos);
  text = std::move(out);
}

// Rich text wraps paragraphs in one of three openings, all closed by "</div>".
void RemoveDivs(std::string& text, std::string_view opening) {
  if (Contains(text, opening) && Contains(text, "</div>")) {
    RemoveAll(text, opening);
    RemoveAll(text, "</div>");
  }
}

}  // namespace

std::string HyperlinkText(const std::string& stored) {
  std::size_t first = stored.find('#');
  if (first == std::string::npos) return stored;
  if (first > 0) return stored.substr(0, first);
  std::size_t second = stored.find('#', first + 1);
  if (second == std::string::npos) return stored.substr(first + 1);
  if (second > first + 1) return stored.substr(first + 1, second - first - 1);
  std::size_t third = stored.find('#', second + 1);
  return stored.substr(second + 1,
                       third == std::string::npos ? std::string::npos : third - second - 1);
}

void RemoveRichTextMarkup(std::string& text) {
  RemoveDivs(text, "<div>");
  RemoveDivs(text, "<div align=right>");
  RemoveDivs(text, "<div align=center>");
}

}  // namespace bracken::engine
