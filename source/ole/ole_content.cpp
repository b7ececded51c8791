#include "source/ole/ole_content.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>

#include "source/jet/bytes.h"
#include "source/ole/access_header.h"
#include "source/ole/bitmap_file.h"
#include "source/ole/compound_storage.h"
#include "source/ole/file_kind.h"
#include "source/ole/ole1_object.h"
#include "source/ole/package_object.h"
#include "source/source_error.h"

namespace bracken::source::ole {

namespace {

bool SameName(std::string_view a, const char* b) {
  return a.size() == std::char_traits<char>::length(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

// Paint keeps a bitmap, with or without its file header.
bool IsPaint(std::string_view className) {
  return SameName(className, "PBrush") || SameName(className, "Paint.Picture") ||
         SameName(className, "DIB") || SameName(className.substr(0, 14), "Paint.Picture.");
}

void SetFile(OleContent& content, const FileKind& kind, std::string_view bytes) {
  content.state = OleState::File;
  content.embeddedType = kind.type;
  content.extension = kind.extension;
  content.mimeType = kind.mimeType;
  content.file.assign(bytes);
}

void SetDamaged(OleContent& content, std::string what) {
  content.state = OleState::Damaged;
  content.embeddedType = "none";
  content.file.clear();
  content.damage = std::move(what);
}

void FromPackage(OleContent& content, std::string_view data) {
  const PackageObject package = ReadPackage(data);
  if (package.linked) {
    content.state = OleState::NoFile;
    content.embeddedType = "link";
    return;
  }
  std::optional<FileKind> kind = KindBySignature(package.contents);
  FileKind byName = KindByFileName(package.fileName);
  if (!kind || (kind->type == "zip" && byName.type != "file")) kind = byName;
  SetFile(content, *kind, package.contents);
  content.embeddedType = "package";
  content.fileName = package.fileName;
}

// Data that is no storage: a package, a file known by its signature,
// Paint's bitmap, or a file further inside.
void FromPlain(OleContent& content, std::string_view data, std::string_view className) {
  if (SameName(className, "Package")) return FromPackage(content, data);
  if (std::optional<FileKind> kind = KindBySignature(data)) {
    if (kind->type != "bmp") return SetFile(content, *kind, data);
    if (std::optional<std::string> bitmap = BitmapFile(data)) {
      return SetFile(content, *kind, *bitmap);
    }
  }
  if (IsPaint(className)) {
    std::optional<std::string> bitmap = BitmapFile(data);
    if (!bitmap) return SetDamaged(content, "its picture is no bitmap");
    return SetFile(content, *KindBySignature(*bitmap), *bitmap);
  }
  if (std::optional<FoundFile> found = FindFileInside(data)) {
    return SetFile(content, found->kind, found->bytes);
  }
  content.state = OleState::NoFile;
}

// An OLE 2.0 object's storage: an Office document whole, or the stream that
// keeps the file.
void FromStorage(OleContent& content, std::string_view data, std::string_view className) {
  std::unique_ptr<CompoundStorage> storage = CompoundStorage::Open(data);
  if (!storage) return SetDamaged(content, "its storage cannot be read");
  if (std::optional<FileKind> kind = KindBySignature(data)) return SetFile(content, *kind, data);
  if (std::optional<std::string> native = storage->Stream("\1Ole10Native")) {
    jet::Bytes stream(*native, "\\1Ole10Native stream");
    const std::string_view inside = stream.Sub(4, stream.U32(0)).View();
    return FromPlain(content, inside, className);
  }
  if (std::optional<std::string> package = storage->Stream("Package")) {
    if (std::optional<FileKind> kind = KindBySignature(*package)) {
      return SetFile(content, *kind, *package);
    }
  }
  if (std::optional<std::string> contents = storage->Stream("CONTENTS")) {
    return FromPlain(content, *contents, className);
  }
  // A server's stream of its own that holds a whole file (the streams whose
  // names start with a control character are OLE's own).
  for (const std::string& name : storage->Names()) {
    if (name.empty() || static_cast<unsigned char>(name[0]) < 0x20) continue;
    std::optional<std::string> stream = storage->Stream(name);
    if (!stream) continue;
    if (std::optional<FileKind> kind = KindBySignature(*stream)) {
      return SetFile(content, *kind, *stream);
    }
  }
  content.state = OleState::NoFile;
}

void FromObject(OleContent& content, std::string_view data, std::string_view className) {
  if (IsCompoundFile(data)) return FromStorage(content, data, className);
  FromPlain(content, data, className);
}

uint32_t Digest(std::string_view bytes) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

}  // namespace

OleContent ReadOleContent(std::string_view value) {
  OleContent content;
  if (value.empty()) return content;
  if (!HasAccessHeader(value)) {
    // A file some program stored without a container.
    const std::optional<FileKind> kind = KindBySignature(value);
    if (kind && kind->type != "bmp") {
      SetFile(content, *kind, value);
    } else if (std::optional<std::string> bitmap = kind ? BitmapFile(value) : std::nullopt) {
      SetFile(content, *kind, *bitmap);
    } else {
      content.state = OleState::NotOle;
    }
    return content;
  }
  try {
    const AccessHeader header = ReadAccessHeader(value);
    content.className = header.className;
    const Ole1Object object = ReadOle1Object(value.substr(header.objectStart));
    if (content.className.empty()) content.className = object.className;
    switch (object.format) {
      case Ole1Format::Linked:
        content.state = OleState::NoFile;
        content.embeddedType = "link";
        break;
      case Ole1Format::Static:
        if (std::optional<std::string> bitmap = BitmapFile(object.data)) {
          SetFile(content, *KindBySignature(*bitmap), *bitmap);
        } else {
          content.state = OleState::NoFile;
        }
        break;
      case Ole1Format::Embedded:
        FromObject(content, object.data, content.className);
        break;
    }
  } catch (const SourceError& error) {
    SetDamaged(content, DamageReason(error));
  }
  return content;
}

std::string OleFileName(const OleContent& content, std::string_view column) {
  if (!content.fileName.empty()) return content.fileName;
  std::string name;
  for (char c : column) {
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;  // one '_' per character
    const bool plain = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_';
    name += plain && static_cast<unsigned char>(c) < 0x80 ? c : '_';
  }
  if (name.empty()) name = "file";
  char digest[16];
  std::snprintf(digest, sizeof digest, "_%08x", Digest(content.file));
  name += digest;
  if (!content.extension.empty()) name += "." + content.extension;
  return name;
}

std::string OleClassLabel(const OleContent& content) {
  switch (content.state) {
    case OleState::Empty:
      return "(empty)";
    case OleState::Damaged:
      return "(damaged)";
    case OleState::NotOle:
      return "(no OLE header)";
    case OleState::NoFile:
    case OleState::File:
      break;
  }
  if (content.className.empty()) {
    return content.state == OleState::File ? "(no OLE header)" : "(no class name)";
  }
  return content.className;
}

}  // namespace bracken::source::ole
