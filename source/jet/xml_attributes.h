#pragma once

// The attributes of elements in the small XML description of agile
// encryption. Only what that description uses is understood: elements found
// by their local name (any namespace prefix), attribute values in double or
// single quotes, without entities.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace bracken::source::jet {

using XmlAttributes = std::map<std::string, std::string, std::less<>>;

// The attributes of every element with the given local name, in order.
std::vector<XmlAttributes> ElementsNamed(std::string_view xml, std::string_view localName);

}  // namespace bracken::source::jet
