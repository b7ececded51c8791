#include "tests/support/json_value.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace bracken::testing {

namespace {

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  JsonValue Value() {
    Skip();
    JsonValue value;
    char c = Peek();
    if (c == '{') {
      value.kind = JsonValue::Kind::Object;
      ++at_;
      if (Skip(), Peek() == '}') return ++at_, value;
      do {
        Skip();
        std::string key = String();
        Skip();
        Expect(':');
        value.members[key] = Value();
        Skip();
      } while (Take(','));
      Expect('}');
    } else if (c == '[') {
      value.kind = JsonValue::Kind::Array;
      ++at_;
      if (Skip(), Peek() == ']') return ++at_, value;
      do value.items.push_back(Value()), Skip();
      while (Take(','));
      Expect(']');
    } else if (c == '"') {
      value.kind = JsonValue::Kind::String;
      value.text = String();
    } else if (text_.compare(at_, 4, "true") == 0 || text_.compare(at_, 5, "false") == 0) {
      value.kind = JsonValue::Kind::Boolean;
      value.boolean = c == 't';
      at_ += value.boolean ? 4 : 5;
    } else if (text_.compare(at_, 4, "null") == 0) {
      at_ += 4;
    } else {
      value.kind = JsonValue::Kind::Number;
      std::size_t start = at_;
      while (at_ < text_.size() &&
             std::string("+-.eE0123456789").find(text_[at_]) != std::string::npos)
        ++at_;
      if (start == at_) throw std::runtime_error("bad JSON at " + std::to_string(at_));
      value.text = text_.substr(start, at_ - start);
    }
    return value;
  }

 private:
  char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
  void Skip() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
  }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++at_;
    return true;
  }
  void Expect(char c) {
    if (!Take(c)) throw std::runtime_error(std::string("JSON: expected ") + c);
  }
  void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  unsigned Hex4() {
    unsigned code = std::stoul(text_.substr(at_, 4), nullptr, 16);
    at_ += 4;
    return code;
  }
  std::string String() {
    Expect('"');
    std::string out;
    while (Peek() != '"') {
      if (at_ >= text_.size()) throw std::runtime_error("JSON: open string");
      char c = text_[at_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      char e = text_[at_++];
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          unsigned code = Hex4();
          if (code >= 0xD800 && code < 0xDC00 && text_.compare(at_, 2, "\\u") == 0) {
            at_ += 2;
            code = 0x10000 + ((code - 0xD800) << 10) + (Hex4() - 0xDC00);
          }
          AppendUtf8(out, code);
          break;
        }
        default:
          out += e;
      }
    }
    ++at_;
    return out;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
  static const JsonValue kNull;
  auto found = members.find(key);
  return found == members.end() ? kNull : found->second;
}

JsonValue ParseJson(const std::string& text) { return Parser(text).Value(); }

JsonValue ReadJsonFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return ParseJson(buffer.str());
}

}  // namespace bracken::testing
