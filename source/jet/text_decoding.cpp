#include "source/jet/text_decoding.h"

#include <iconv.h>

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace bracken::source::jet {

namespace {

void AppendCodePoint(uint32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Windows-1252 bytes 0x80 to 0x9F; the rest equal their Latin-1 code points.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

void AppendCp1252(Bytes stored, std::string& out) {
  for (size_t i = 0; i < stored.size(); ++i) {
    uint8_t b = stored.data()[i];
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else {
      AppendCodePoint(b < 0xA0 ? kCp1252High[b - 0x80] : b, out);
    }
  }
}

// Other code pages go through iconv; a code page it does not know falls
// back to Windows-1252.
bool AppendWithIconv(Bytes stored, uint16_t codePage, std::string& out) {
  std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-8", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string buffer(stored.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(reinterpret_cast<const char*>(stored.data()));
  size_t inLeft = stored.size();
  char* outPtr = buffer.data();
  size_t outLeft = buffer.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
      if (outLeft < 3) break;
      // An unmappable byte becomes U+FFFD and decoding goes on.
      std::memcpy(outPtr, "\xEF\xBF\xBD", 3);
      outPtr += 3;
      outLeft -= 3;
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  out.append(buffer.data(), outPtr - buffer.data());
  return true;
}

bool IsDoubleByteCodePage(uint16_t codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
         codePage == 1361;
}

// The UTF-8 of each byte of a single-byte code page, built once per code
// page; null when iconv does not know the code page.
using ByteTable = std::array<std::string, 256>;
const ByteTable* SingleByteTable(uint16_t codePage) {
  static std::mutex mutex;
  static std::map<uint16_t, std::unique_ptr<ByteTable>> tables;
  std::lock_guard<std::mutex> lock(mutex);
  auto found = tables.find(codePage);
  if (found != tables.end()) return found->second.get();
  std::unique_ptr<ByteTable> table;
  iconv_t cd = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
  if (cd != reinterpret_cast<iconv_t>(-1)) {
    table = std::make_unique<ByteTable>();
    for (int b = 0; b < 256; ++b) {
      char in = static_cast<char>(b);
      char* inPtr = &in;
      size_t inLeft = 1;
      char buffer[8];
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        (*table)[b] = "\xEF\xBF\xBD";  // unmapped: U+FFFD
      } else {
        (*table)[b].assign(buffer, outPtr);
      }
    }
    iconv_close(cd);
  }
  return tables.emplace(codePage, std::move(table)).first->second.get();
}

}  // namespace

void AppendUtf16(Bytes units, std::string& out) {
  const uint8_t* p = units.data();
  size_t count = units.size() / 2;
  for (size_t i = 0; i < count; ++i) {
    uint32_t c = p[2 * i] | (p[2 * i + 1] << 8);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < count) {
      uint32_t low = p[2 * i + 2] | (p[2 * i + 3] << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendCodePoint(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00), out);
        ++i;
        continue;
      }
    }
    if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
    AppendCodePoint(c, out);
  }
}

void AppendJet4Text(Bytes stored, std::string& out) {
  const uint8_t* p = stored.data();
  size_t n = stored.size();
  if (n < 2 || p[0] != 0xFF || p[1] != 0xFE) {
    AppendUtf16(stored, out);
    return;
  }
  bool compressed = true;
  size_t i = 2;
  while (i < n) {
    if (p[i] == 0) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      AppendCodePoint(p[i], out);
      ++i;
    } else if (n - i >= 2) {
      AppendUtf16(Bytes(p + i, 2), out);
      i += 2;
    } else {
      break;
    }
  }
}

void AppendCodePageText(Bytes stored, uint16_t codePage, std::string& out) {
  bool ascii = true;
  for (size_t i = 0; i < stored.size() && ascii; ++i) ascii = stored.data()[i] < 0x80;
  if (ascii) {
    out.append(stored.View());
  } else if (codePage == 0 || codePage == 1252) {
    AppendCp1252(stored, out);
  } else if (IsDoubleByteCodePage(codePage)) {
    if (!AppendWithIconv(stored, codePage, out)) AppendCp1252(stored, out);
  } else if (const ByteTable* table = SingleByteTable(codePage)) {
    for (size_t i = 0; i < stored.size(); ++i) out += (*table)[stored.data()[i]];
  } else {
    AppendCp1252(stored, out);
  }
}

void AppendText(Bytes stored, bool jet3, uint16_t codePage, std::string& out) {
  if (jet3) {
    AppendCodePageText(stored, codePage, out);
  } else {
    AppendJet4Text(stored, out);
  }
}

std::string DecodeText(Bytes stored, bool jet3, uint16_t codePage) {
  std::string out;
  out.reserve(stored.size());
  AppendText(stored, jet3, codePage, out);
  return out;
}

size_t StoredTextUnits(Bytes stored, bool jet3) {
  const uint8_t* p = stored.data();
  size_t n = stored.size();
  if (jet3) return n;
  if (n < 2 || p[0] != 0xFF || p[1] != 0xFE) return n / 2;
  size_t units = 0;
  bool compressed = true;
  for (size_t i = 2; i < n;) {
    if (p[i] == 0) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      ++units;
      ++i;
    } else if (n - i >= 2) {
      ++units;
      i += 2;
    } else {
      break;
    }
  }
  return units;
}

size_t Utf16Length(const std::string& utf8) {
  size_t units = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80) ++units;
    if (c >= 0xF0) ++units;
  }
  return units;
}

}  // namespace bracken::source::jet
