#include "source/jet/header.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "source/jet/bytes.h"
#include "source/jet/office_encryption.h"
#include "source/jet/rc4.h"
#include "source/jet/text_decoding.h"

namespace bracken::source::jet {

namespace {

constexpr size_t kVersionOffset = 0x14;
constexpr size_t kMaskedStart = 0x18;
constexpr size_t kCodePageOffset = 0x3C;
constexpr size_t kPageKeyOffset = 0x3E;
constexpr size_t kPasswordOffset = 0x42;
constexpr size_t kCreationDateOffset = 0x72;
constexpr uint8_t kHeaderMaskKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
constexpr char kJetMagic[] = "\x00\x01\x00\x00Standard Jet DB";  // 20 bytes with the final NUL
constexpr char kAceMagic[] = "\x00\x01\x00\x00Standard ACE DB";

[[noreturn]] void ThrowUnrecognized(const PageFile& file) {
  ThrowSourceError("Unrecognized database format '" + file.Name() + "'.");
}

// The layout the magic text and version byte name; anything else, a future
// version included, is not a database this reader knows.
Format FormatOf(const uint8_t* start, const PageFile& file) {
  uint8_t version = start[kVersionOffset];
  if (std::memcmp(start, kJetMagic, 20) == 0) {
    if (version == 0) return Format::Jet3();
    if (version == 1) return Format::Jet4();
  } else if (std::memcmp(start, kAceMagic, 20) == 0) {
    if (version == 2 || version == 3 || version == 5 || version == 6) return Format::Ace(version);
  }
  ThrowUnrecognized(file);
}

std::string ReadPassword(Bytes page, const Format& format) {
  size_t length = format.jet3 ? 20 : 40;
  std::vector<uint8_t> stored(length);
  std::memcpy(stored.data(), page.Sub(kPasswordOffset, length).data(), length);
  if (!format.jet3) {
    // Jet 4 masks the password once more with the whole days of the creation date.
    double created = page.F64(kCreationDateOffset);
    uint32_t mask = 0;
    if (std::isfinite(created) && created > -2147483648.0 && created < 2147483648.0) {
      mask = static_cast<uint32_t>(static_cast<int32_t>(std::floor(created)));
    }
    for (size_t i = 0; i < length; ++i) stored[i] ^= static_cast<uint8_t>(mask >> (8 * (i % 4)));
  }
  size_t end = 0;
  size_t unit = format.jet3 ? 1 : 2;
  while (end + unit <= length && (stored[end] != 0 || (unit == 2 && stored[end + 1] != 0))) {
    end += unit;
  }
  return DecodeText(Bytes(stored.data(), end), format.jet3, 1252);
}

}  // namespace

Header ReadHeader(PageFile& file) {
  uint8_t start[kVersionOffset + 4];
  if (!file.ReadRaw(0, sizeof start, start)) ThrowUnrecognized(file);
  Header header;
  header.format = FormatOf(start, file);
  uint32_t pageSize = header.format.pageSize;
  std::vector<uint8_t> page(pageSize);
  if (!file.ReadRaw(0, pageSize, page.data())) ThrowUnrecognized(file);
  ApplyRc4(kHeaderMaskKey, 4, page.data() + kMaskedStart, header.format.jet3 ? 126 : 128);

  Bytes bytes(page.data(), page.size(), "header page");
  header.codePage = bytes.U16(kCodePageOffset);
  for (size_t i = 0; i < 4; ++i) header.pageKey[i] = bytes.U8(kPageKeyOffset + i);
  header.password = ReadPassword(bytes, header.format);
  bool encrypted = header.pageKey != std::array<uint8_t, 4>{};
  if (header.format.ace && encrypted) {
    Bytes info = bytes.Sub(kEncryptionInfoOffset + 2, bytes.U16(kEncryptionInfoOffset));
    header.encryptionInfo.assign(info.data(), info.data() + info.size());
  }
  // Access 2007 and later files are never RC4-encoded the Jet way: their
  // key belongs to the encryption the password unlocks.
  file.SetLayout(pageSize, std::move(page),
                 header.format.ace ? std::array<uint8_t, 4>{} : header.pageKey);
  if (file.PageCount() < 3) ThrowDamaged("the file is too short to hold a catalogue");
  return header;
}

void CheckPassword(const Header& header, const std::string& given, PageFile& file) {
  if (!header.encryptionInfo.empty()) {
    Bytes info(header.encryptionInfo.data(), header.encryptionInfo.size(),
               "encryption description");
    file.SetCipher(OpenOfficeEncryption(info, header.pageKey, given));
    return;
  }
  if (!header.password.empty() && given != header.password) {
    ThrowSourceError("Not a valid password.");
  }
}

}  // namespace bracken::source::jet
