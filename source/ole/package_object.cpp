#include "source/ole/package_object.h"

#include <cstdint>

#include "source/jet/bytes.h"
#include "source/jet/text_decoding.h"
#include "source/source_error.h"

namespace bracken::source::ole {

namespace {

constexpr uint16_t kSignature = 2;
constexpr uint16_t kEmbedded = 3;
constexpr uint16_t kLinked = 1;

// A NUL-ended single-byte text at `at`, which moves past its NUL.
std::string ReadAnsi(jet::Bytes data, std::size_t& at) {
  const std::string_view rest = data.From(at).View();
  const std::size_t end = rest.find('\0');
  if (end == std::string_view::npos) ThrowDamaged("a package's text has no end");
  std::string text;
  jet::AppendCodePageText(data.Sub(at, end), 1252, text);
  at += end + 1;
  return text;
}

// A u32 count of UTF-16 characters and the characters, at `at`.
std::string ReadUnicode(jet::Bytes data, std::size_t& at) {
  const uint32_t count = data.U32(at);
  at += 4;
  if (count > (data.size() - at) / 2) ThrowDamaged("a package's text lies outside it");
  std::string text;
  jet::AppendUtf16(data.Sub(at, std::size_t{count} * 2), text);
  at += std::size_t{count} * 2;
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

}  // namespace

std::string LastPathPart(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/:");
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  std::string part;
  for (char c : path) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) part += c;
  }
  return part;
}

PackageObject ReadPackage(std::string_view nativeData) {
  jet::Bytes data(nativeData, "package");
  if (data.U16(0) != kSignature) ThrowDamaged("a package does not start as packages do");
  PackageObject package;
  std::size_t at = 2;
  package.label = ReadAnsi(data, at);
  package.originalPath = ReadAnsi(data, at);
  at += 2;
  const uint16_t kind = data.U16(at);
  at += 2;
  if (kind == kLinked) {
    package.linked = true;
  } else if (kind != kEmbedded) {
    ThrowDamaged("a package is neither a file nor a link");
  }
  std::string temporaryPath;
  if (!package.linked) {
    const uint32_t pathBytes = data.U32(at);
    at += 4;
    temporaryPath = ReadAnsi(data.Sub(0, at + pathBytes), at);
    const uint32_t size = data.U32(at);
    at += 4;
    package.contents = data.Sub(at, size).View();
    at += size;
    // Later packagers repeat the texts in UTF-16; older ones end here.
    if (data.size() - at >= 12) {
      try {
        ReadUnicode(data, at);
        ReadUnicode(data, at);
        std::string unicodePath = ReadUnicode(data, at);
        if (!unicodePath.empty()) package.originalPath = std::move(unicodePath);
      } catch (const SourceError&) {
        // Not the Unicode texts: the single-byte ones stand.
      }
    }
  }
  for (const std::string* name : {&package.originalPath, &package.label, &temporaryPath}) {
    package.fileName = LastPathPart(*name);
    if (!package.fileName.empty()) break;
  }
  return package;
}

}  // namespace bracken::source::ole
