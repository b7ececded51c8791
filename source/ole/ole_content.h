#pragma once

// What an OLE Object value holds, read from its containers: Access's header
// (the class name), the OLE 1.0 object after it, an OLE 2.0 storage inside
// that, a Packager's package, Paint's bitmap, or a complete file that
// starts after the headers. Nothing here reads a file or a server: it takes
// a value's bytes and says what is inside, and a value that cannot be read
// is told damaged, never read past its end.

#include <cstdint>
#include <string>
#include <string_view>

namespace bracken::source::ole {

enum class OleState : uint8_t {
  Empty,    // no bytes
  NotOle,   // bytes without Access's header, and no file known by its signature
  Damaged,  // a header or container names more than the value holds, or is malformed
  NoFile,   // a sound object that holds no file to take out (a link, an unknown server's data)
  File,     // holds a file: `file`, `extension`, `mimeType`
};

struct OleContent {
  OleState state = OleState::Empty;
  // The class name Access's header gives ("Paint.Picture", "Package", ...),
  // else the OLE 1.0 object's; "" for a value without a header.
  std::string className;
  // What kind of object is inside: "bmp", "jpeg", "png", "gif", "tiff",
  // "pdf", "doc", "xls", "ppt", "docx", "xlsx", "pptx", "zip", "package"
  // (a Packager's file), "link", or "none".
  std::string embeddedType = "none";
  std::string file;
  // The file's own name where the object keeps one (a package's); "".
  std::string fileName;
  std::string extension;  // without its dot
  std::string mimeType;
  std::string damage;  // Damaged: what is wrong, a phrase
};

OleContent ReadOleContent(std::string_view value);

// The name a file taken out of an OLE value goes under: the package's own,
// else one made from the column's name and a digest of the file's bytes
// (so the same file is named alike wherever it is read) with the file's
// extension: "Photo_1f3a9c07.bmp".
std::string OleFileName(const OleContent& content, std::string_view column);

// The label that names a value's class in counts: its class name, or
// "(empty)", "(damaged)", "(no OLE header)", "(no class name)".
std::string OleClassLabel(const OleContent& content);

}  // namespace bracken::source::ole
