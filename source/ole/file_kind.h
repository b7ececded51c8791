#pragma once

// The kinds of file an OLE object may carry whole, told by their own
// signature: what a web page needs to serve one (its MIME type and the
// extension of a file name made for it).

#include <optional>
#include <string>
#include <string_view>

namespace bracken::source::ole {

struct FileKind {
  std::string type;       // "jpeg", "png", "doc", "docx", ...
  std::string extension;  // without the dot: "jpg"
  std::string mimeType;   // "image/jpeg"
};

// The kind of the file that starts at the first byte of `bytes`; nullopt
// when no known signature stands there. A compound document is named by the
// streams its storage holds (see compound_storage.h), a zip by the parts it
// lists (.docx, .xlsx, .pptx, else .zip).
std::optional<FileKind> KindBySignature(std::string_view bytes);

// The kind a file name's extension says ("report.PDF" is a pdf); a name
// without a known extension gives type "file", its own extension and
// application/octet-stream.
FileKind KindByFileName(std::string_view name);

// A complete picture or PDF that starts somewhere inside `bytes` (a picture
// container that keeps its own header before the file): its bytes, cut at
// the end its format marks where it marks one (a JPEG's last end-of-image
// marker, a PNG's IEND chunk, a PDF's last %%EOF line). nullopt when none
// is found.
struct FoundFile {
  FileKind kind;
  std::string_view bytes;
};
std::optional<FoundFile> FindFileInside(std::string_view bytes);

}  // namespace bracken::source::ole
