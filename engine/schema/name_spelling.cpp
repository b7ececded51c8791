#include "engine/schema/name_spelling.h"

#include <cstdint>

namespace bracken::engine {

namespace {

// Decodes one UTF-8 character at `at`; an invalid byte decodes as itself
// with length 1 and `valid` false.
char32_t Decode(std::string_view text, std::size_t at, std::size_t& length, bool& valid) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  valid = true;
  length = 1;
  if (lead < 0x80) return lead;
  std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (need == 0 || lead > 0xF4 || at + need > text.size()) {
    valid = false;
    return lead;
  }
  char32_t value = lead & (0x7F >> need);
  for (std::size_t i = 1; i < need; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) {
      valid = false;
      return lead;
    }
    value = (value << 6) | (byte(at + i) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[need] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
    valid = false;
    return lead;
  }
  length = need;
  return value;
}

void Encode(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Base letters of U+00C0..U+00FF and U+0100..U+017F; "." keeps the letter.
constexpr std::string_view kLatin1Upper = "aaaaaa.ceeeeiiiidnooooo.ouuuuy.s";
constexpr std::string_view kLatin1Lower = "aaaaaa.ceeeeiiiidnooooo.ouuuuy.y";
constexpr std::string_view kLatinExtendedA =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii..jjkkkllllllllllnnnnnnn..oooooo..rrrrrrss"
    "ssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";

char32_t Fold(char32_t c, bool foldAccents) {
  if (c >= 'A' && c <= 'Z') return c + ('a' - 'A');
  if (!foldAccents) return (c >= 0xC0 && c < 0xDF && c != 0xD7) ? c + 0x20 : c;
  char base = '.';
  if (c >= 0xC0 && c < 0xE0) base = kLatin1Upper[c - 0xC0];
  if (c >= 0xE0 && c <= 0xFF) base = kLatin1Lower[c - 0xE0];
  if (c >= 0x100 && c < 0x180) base = kLatinExtendedA[c - 0x100];
  if (base != '.') return static_cast<char32_t>(base);
  if (c >= 0xC0 && c < 0xDF && c != 0xD7) return c + 0x20;  // Æ, Þ and the like
  return c;
}

// Cuts `name` to `limit` characters and drops trailing spaces.
std::string Trimmed(std::string name, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if ((static_cast<unsigned char>(name[i]) & 0xC0) == 0x80) continue;
    if (characters++ == limit) {
      name.resize(i);
      break;
    }
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

}  // namespace

std::string LegalSpelling(std::string_view name, const std::string& fallback) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t at = 0, length = 0; at < name.size(); at += length) {
    bool valid = false;
    char32_t c = Decode(name, at, length, valid);
    if (!valid || c == 0 || c > 0xFFFF) {
      out += '_';
    } else {
      Encode(c, out);
    }
  }
  out = Trimmed(std::move(out), kMaxIdentifierCharacters);
  return out.empty() ? fallback : out;
}

std::string ColumnNameKey(std::string_view name, bool foldAccents) {
  std::string key;
  key.reserve(name.size());
  for (std::size_t at = 0, length = 0; at < name.size(); at += length) {
    bool valid = false;
    char32_t c = Decode(name, at, length, valid);
    Encode(valid ? Fold(c, foldAccents) : U'_', key);
  }
  return key;
}

std::string NameRegistry::Key(const std::string& name) const {
  return ColumnNameKey(name, foldAccents_);
}

bool NameRegistry::Taken(const std::string& name) const {
  std::string key = Key(name);
  for (const std::string& taken : keys_) {
    if (taken == key) return true;
  }
  return false;
}

std::string NameRegistry::Claim(std::string_view name, const std::string& fallback) {
  std::string spelling = LegalSpelling(name, fallback);
  for (int n = 2; Taken(spelling); ++n) {
    std::string suffix = "_" + std::to_string(n);
    spelling =
        Trimmed(LegalSpelling(name, fallback), kMaxIdentifierCharacters - suffix.size()) + suffix;
  }
  keys_.push_back(Key(spelling));
  return spelling;
}

}  // namespace bracken::engine
