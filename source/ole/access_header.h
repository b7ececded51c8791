#pragma once

// The header Access puts before every OLE object it stores:
//   u16 signature 0x1C15; u16 the header's size (where the object starts);
//   u32 object type; u16 characters of the object's name and u16 of its
//   class name (each counting its NUL); u16 offset of the name and u16 of
//   the class name, from the start of the value; two i16, the object's
//   original size (-1, -1 since Access 2.0); then the two texts.
// The name is what the user saw ("Bitmap Image", "Package"); the class name
// is the OLE server's ("Paint.Picture", "Package", "Word.Document.8").

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bracken::source::ole {

struct AccessHeader {
  uint32_t objectType = 0;
  std::string name;       // UTF-8
  std::string className;  // UTF-8
  std::size_t objectStart = 0;
};

// Whether `value` starts with the header's signature.
bool HasAccessHeader(std::string_view value);

// Reads the header of a value that has its signature; raises
// source::SourceError when it names more than the value holds.
AccessHeader ReadAccessHeader(std::string_view value);

}  // namespace bracken::source::ole
