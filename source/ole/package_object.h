#pragma once

// The native data of the Packager (class "Package"), which wraps any file
// that has no OLE server of its own:
//   u16 2; label, NUL-ended; the file's original path, NUL-ended;
//   u16 0; u16 kind: 3 for an embedded file, 1 for a link;
//   for an embedded file: u32 length and the temporary path (NUL-ended),
//   u32 size and the file's bytes; then, in later versions, the temporary
//   path, the label and the original path again in UTF-16 (each a u32 count
//   of characters and the characters).
// The single-byte texts are in the Windows code page.

#include <string>
#include <string_view>

namespace bracken::source::ole {

struct PackageObject {
  std::string label;         // UTF-8
  std::string originalPath;  // UTF-8; the Unicode one where the package keeps it
  bool linked = false;       // a link holds no file
  std::string_view contents;
  // The file's own name: the last part of its original path, else of its
  // label, else of its temporary path; "" when none names one.
  std::string fileName;
};

// Reads a package; raises source::SourceError when it is damaged.
PackageObject ReadPackage(std::string_view nativeData);

// The last part of a Windows or Unix path, without control characters.
std::string LastPathPart(std::string_view path);

}  // namespace bracken::source::ole
