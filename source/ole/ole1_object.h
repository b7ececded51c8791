#pragma once

// An OLE 1.0 object as it is written to a stream (Access stores every OLE
// object in this form after its own header):
//   u32 OLE version (any); u32 format: 1 linked, 2 embedded, 5 a static
//   picture; then the class name, for linked and embedded objects also the
//   topic and item names, each a u32 length (counting its NUL; 0 for none)
//   and single-byte text;
//   embedded: u32 size and the native data (the server's own bytes), then
//   the presentation (a picture of the object for display);
//   static: the presentation alone, for class "DIB" a u32 width, u32 height,
//   u32 size and a device-independent bitmap.

#include <cstdint>
#include <string>
#include <string_view>

#include "source/jet/bytes.h"

namespace bracken::source::ole {

enum class Ole1Format : uint32_t { Linked = 1, Embedded = 2, Static = 5 };

struct Ole1Object {
  Ole1Format format = Ole1Format::Embedded;
  std::string className;  // UTF-8
  std::string topic;      // a linked object's file
  std::string item;
  // Embedded: the native data; static: the presentation's data.
  std::string_view data;
};

// Reads the object at the start of `bytes`; raises source::SourceError when
// it is damaged or of another format.
Ole1Object ReadOle1Object(std::string_view bytes);

// An ANSI text of the OLE layouts (class, topic and item names, the
// Access header's names): the bytes up to the first NUL, in Windows-1252,
// as UTF-8.
std::string AnsiText(jet::Bytes text);

}  // namespace bracken::source::ole
