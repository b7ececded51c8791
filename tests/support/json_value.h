#pragma once

// A small JSON reader for the corpus reference dumps.

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace bracken::testing {

struct JsonValue {
  enum class Kind { Null, Boolean, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  std::string text;  // a String's characters, or a Number as written
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  bool IsNull() const { return kind == Kind::Null; }
  const JsonValue& operator[](const std::string& key) const;
};

// Throws std::runtime_error on malformed input.
JsonValue ParseJson(const std::string& text);
JsonValue ReadJsonFile(const std::string& path);

}  // namespace bracken::testing
