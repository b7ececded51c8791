#include "source/jet/text_decoding.h"

#include <iconv.h>

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace bracken::source::jet {

namespace {

// Writes a code point as UTF-8 at p and returns the end; p must have room
// for four bytes.
inline char* PutCodePoint(uint32_t c, char* p) {
  if (c < 0x80) {
    *p++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *p++ = static_cast<char>(0xC0 | (c >> 6));
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *p++ = static_cast<char>(0xE0 | (c >> 12));
    *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | (c >> 18));
    *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return p;
}

// Decoders write straight into the string: it grows by the most the input
// can turn into, and is cut back to what was written.
char* Grow(std::string& out, size_t most) {
  size_t start = out.size();
  out.resize(start + most);
  return out.data() + start;
}

void Shrink(std::string& out, const char* end) { out.resize(end - out.data()); }

// UTF-16LE units as UTF-8 at p: at most three bytes per unit, four per pair.
char* PutUtf16(const uint8_t* units, size_t count, char* p) {
  for (size_t i = 0; i < count; ++i) {
    uint32_t c = units[2 * i] | (units[2 * i + 1] << 8);
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
      continue;
    }
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < count) {
      uint32_t low = units[2 * i + 2] | (units[2 * i + 3] << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        p = PutCodePoint(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00), p);
        ++i;
        continue;
      }
    }
    if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
    p = PutCodePoint(c, p);
  }
  return p;
}

// Windows-1252 bytes 0x80 to 0x9F; the rest equal their Latin-1 code points.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

void AppendCp1252(Bytes stored, std::string& out) {
  char* p = Grow(out, 3 * stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    uint8_t b = stored.data()[i];
    if (b < 0x80) {
      *p++ = static_cast<char>(b);
    } else {
      p = PutCodePoint(b < 0xA0 ? kCp1252High[b - 0x80] : b, p);
    }
  }
  Shrink(out, p);
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

// Jet 4 text as UTF-8 at o, which has room for twice the stored size: a
// one-byte character takes at most two bytes of UTF-8, a two-byte character
// (or half a pair) at most three.
char* PutJet4Text(Bytes stored, char* o) {
  const uint8_t* p = stored.data();
  size_t n = stored.size();
  if (n < 2 || p[0] != 0xFF || p[1] != 0xFE) return PutUtf16(p, n / 2, o);
  bool compressed = true;
  size_t i = 2;
  while (i < n) {
    if (compressed) {
      // Eight characters at a time while they are plain ASCII (no zero byte,
      // no high bit).
      for (; n - i >= 8; i += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, p + i, 8);
        constexpr uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
        if (((chunk - kOnes) | chunk) & kHighs) break;
        std::memcpy(o, p + i, 8);
        o += 8;
      }
      for (; i < n && p[i] != 0; ++i) {
        uint8_t b = p[i];
        if (b < 0x80) {
          *o++ = static_cast<char>(b);
        } else {
          *o++ = static_cast<char>(0xC0 | (b >> 6));
          *o++ = static_cast<char>(0x80 | (b & 0x3F));
        }
      }
    } else {
      size_t end = i;
      while (n - end >= 2 && p[end] != 0) end += 2;
      o = PutUtf16(p + i, (end - i) / 2, o);
      i = end;
      if (n - i < 2 && (i == n || p[i] != 0)) break;  // an odd trailing byte is dropped
    }
    if (i < n) {
      compressed = !compressed;  // a zero byte switches between the two forms
      ++i;
    }
  }
  return o;
}

}  // namespace

void AppendUtf16(Bytes units, std::string& out) {
  size_t count = units.size() / 2;
  Shrink(out, PutUtf16(units.data(), count, Grow(out, 3 * count)));
}

void AppendJet4Text(Bytes stored, std::string& out) {
  Shrink(out, PutJet4Text(stored, Grow(out, 2 * stored.size())));
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
  // Short Jet 4 texts, the most common, are decoded on the stack and copied
  // once into a string of their size.
  constexpr size_t kShort = 256;
  if (!jet3 && stored.size() <= kShort) {
    char buffer[2 * kShort];
    return std::string(buffer, PutJet4Text(stored, buffer));
  }
  std::string out;
  AppendText(stored, jet3, codePage, out);
  return out;
}

size_t StoredTextUnits(Bytes stored, bool jet3) {
  const uint8_t* p = stored.data();
  size_t n = stored.size();
  if (jet3) return n;
  if (n < 2 || p[0] != 0xFF || p[1] != 0xFE) return n / 2;
  // Most compressed text never leaves the one-byte form.
  if (std::memchr(p + 2, 0, n - 2) == nullptr) return n - 2;
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

size_t TextUnits(Bytes stored, bool jet3, uint16_t codePage) {
  if (jet3 && IsDoubleByteCodePage(codePage)) {
    return Utf16Length(DecodeText(stored, jet3, codePage));
  }
  return StoredTextUnits(stored, jet3);
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
