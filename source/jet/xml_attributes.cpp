#include "source/jet/xml_attributes.h"

#include <cctype>

namespace bracken::source::jet {

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '_' || c == '-' ||
         c == '.';
}

// The attributes from just after an element's name to its closing '>'.
XmlAttributes ReadAttributes(std::string_view xml, size_t at) {
  XmlAttributes attributes;
  while (at < xml.size()) {
    while (at < xml.size() && IsSpace(xml[at])) ++at;
    if (at >= xml.size() || xml[at] == '>' || xml[at] == '/') break;
    size_t nameStart = at;
    while (at < xml.size() && IsNameChar(xml[at])) ++at;
    std::string name(xml.substr(nameStart, at - nameStart));
    while (at < xml.size() && IsSpace(xml[at])) ++at;
    if (name.empty() || at >= xml.size() || xml[at] != '=') break;
    ++at;
    while (at < xml.size() && IsSpace(xml[at])) ++at;
    if (at >= xml.size() || (xml[at] != '"' && xml[at] != '\'')) break;
    size_t end = xml.find(xml[at], at + 1);
    if (end == std::string_view::npos) break;
    attributes[name] = std::string(xml.substr(at + 1, end - at - 1));
    at = end + 1;
  }
  return attributes;
}

}  // namespace

std::vector<XmlAttributes> ElementsNamed(std::string_view xml, std::string_view localName) {
  std::vector<XmlAttributes> found;
  for (size_t open = xml.find('<'); open != std::string_view::npos;
       open = xml.find('<', open + 1)) {
    size_t nameEnd = open + 1;
    while (nameEnd < xml.size() && IsNameChar(xml[nameEnd])) ++nameEnd;
    std::string_view name = xml.substr(open + 1, nameEnd - open - 1);
    size_t colon = name.rfind(':');
    if (colon != std::string_view::npos) name = name.substr(colon + 1);
    if (name == localName) found.push_back(ReadAttributes(xml, nameEnd));
  }
  return found;
}

}  // namespace bracken::source::jet
