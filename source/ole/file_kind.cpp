#include "source/ole/file_kind.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "source/ole/compound_storage.h"

namespace bracken::source::ole {

namespace {

constexpr std::string_view kJpeg("\xFF\xD8\xFF", 3);
constexpr std::string_view kPng("\x89PNG\r\n\x1A\n", 8);
constexpr std::string_view kTiffLittle("II*\0", 4);
constexpr std::string_view kTiffBig("MM\0*", 4);
constexpr std::string_view kZip("PK\x03\x04", 4);

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

FileKind Kind(const char* type, const char* extension, const char* mimeType) {
  return {type, extension, mimeType};
}

// A zip names its parts in plain text; an Office Open XML document holds
// [Content_Types].xml and its main part.
FileKind ZipKind(std::string_view bytes) {
  const bool officeOpen = bytes.find("[Content_Types].xml") != std::string_view::npos;
  if (officeOpen && bytes.find("word/") != std::string_view::npos) {
    return Kind("docx", "docx",
                "application/vnd.openxmlformats-officedocument.wordprocessingml.document");
  }
  if (officeOpen && bytes.find("xl/") != std::string_view::npos) {
    return Kind("xlsx", "xlsx",
                "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
  }
  if (officeOpen && bytes.find("ppt/") != std::string_view::npos) {
    return Kind("pptx", "pptx",
                "application/vnd.openxmlformats-officedocument.presentationml.presentation");
  }
  return Kind("zip", "zip", "application/zip");
}

bool IsJpegStart(std::string_view bytes) {
  if (!StartsWith(bytes, kJpeg) || bytes.size() < 4) return false;
  const auto marker = static_cast<unsigned char>(bytes[3]);
  return marker == 0xE0 || marker == 0xE1 || marker == 0xE2 || marker == 0xDB || marker == 0xEE ||
         marker == 0xC0 || marker == 0xC4 || marker == 0xFE;
}

struct Extension {
  const char* extension;
  const char* type;
  const char* mimeType;
};

constexpr std::array<Extension, 26> kExtensions{{
    {"bmp", "bmp", "image/bmp"},
    {"dib", "bmp", "image/bmp"},
    {"jpg", "jpeg", "image/jpeg"},
    {"jpeg", "jpeg", "image/jpeg"},
    {"jpe", "jpeg", "image/jpeg"},
    {"png", "png", "image/png"},
    {"gif", "gif", "image/gif"},
    {"tif", "tiff", "image/tiff"},
    {"tiff", "tiff", "image/tiff"},
    {"pdf", "pdf", "application/pdf"},
    {"doc", "doc", "application/msword"},
    {"xls", "xls", "application/vnd.ms-excel"},
    {"ppt", "ppt", "application/vnd.ms-powerpoint"},
    {"docx", "docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"xlsx", "xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"pptx", "pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {"zip", "zip", "application/zip"},
    {"txt", "txt", "text/plain"},
    {"csv", "csv", "text/csv"},
    {"htm", "html", "text/html"},
    {"html", "html", "text/html"},
    {"xml", "xml", "application/xml"},
    {"rtf", "rtf", "application/rtf"},
    {"wav", "wav", "audio/wav"},
    {"mp3", "mp3", "audio/mpeg"},
    {"ico", "ico", "image/vnd.microsoft.icon"},
}};

// Where the format marks its file's end, searched from the back; the whole
// of `bytes` where it marks none.
std::string_view CutAtEnd(const FileKind& kind, std::string_view bytes) {
  if (kind.type == "jpeg") {
    const std::size_t end = bytes.rfind("\xFF\xD9");
    if (end != std::string_view::npos) return bytes.substr(0, end + 2);
  } else if (kind.type == "png") {
    const std::size_t end = bytes.rfind("IEND");
    if (end != std::string_view::npos && end + 8 <= bytes.size()) return bytes.substr(0, end + 8);
  } else if (kind.type == "pdf") {
    std::size_t end = bytes.rfind("%%EOF");
    if (end != std::string_view::npos) {
      end += 5;
      if (end < bytes.size() && bytes[end] == '\r') ++end;
      if (end < bytes.size() && bytes[end] == '\n') ++end;
      return bytes.substr(0, end);
    }
  }
  return bytes;
}

}  // namespace

std::optional<FileKind> KindBySignature(std::string_view bytes) {
  if (IsJpegStart(bytes)) return Kind("jpeg", "jpg", "image/jpeg");
  if (StartsWith(bytes, kPng)) return Kind("png", "png", "image/png");
  if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a")) {
    return Kind("gif", "gif", "image/gif");
  }
  if (StartsWith(bytes, "%PDF-")) return Kind("pdf", "pdf", "application/pdf");
  if (StartsWith(bytes, kTiffLittle) || StartsWith(bytes, kTiffBig)) {
    return Kind("tiff", "tif", "image/tiff");
  }
  if (StartsWith(bytes, "BM") && bytes.size() >= 26) return Kind("bmp", "bmp", "image/bmp");
  if (StartsWith(bytes, kZip)) return ZipKind(bytes);
  if (IsCompoundFile(bytes)) {
    switch (CompoundDocumentKind(bytes)) {
      case CompoundDocument::Word:
        return Kind("doc", "doc", "application/msword");
      case CompoundDocument::Excel:
        return Kind("xls", "xls", "application/vnd.ms-excel");
      case CompoundDocument::PowerPoint:
        return Kind("ppt", "ppt", "application/vnd.ms-powerpoint");
      case CompoundDocument::Other:
        break;
    }
  }
  return std::nullopt;
}

FileKind KindByFileName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size()) {
    return Kind("file", "bin", "application/octet-stream");
  }
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const Extension& known : kExtensions) {
    if (extension == known.extension) return {known.type, extension, known.mimeType};
  }
  return {"file", extension, "application/octet-stream"};
}

std::optional<FoundFile> FindFileInside(std::string_view bytes) {
  static constexpr std::array<std::string_view, 5> kStarts{kPng, std::string_view("%PDF-"),
                                                           std::string_view("GIF89a"),
                                                           std::string_view("GIF87a"), kJpeg};
  std::size_t first = std::string_view::npos;
  for (std::string_view start : kStarts) {
    for (std::size_t at = bytes.find(start); at != std::string_view::npos && at < first;
         at = bytes.find(start, at + 1)) {
      // A JPEG's three bytes occur by chance; its next marker must fit.
      if (start == kJpeg && !IsJpegStart(bytes.substr(at))) continue;
      first = at;
      break;
    }
  }
  if (first == std::string_view::npos) return std::nullopt;
  std::string_view rest = bytes.substr(first);
  std::optional<FileKind> kind = KindBySignature(rest);
  if (!kind) return std::nullopt;
  return FoundFile{*kind, CutAtEnd(*kind, rest)};
}

}  // namespace bracken::source::ole
