#include "engine/rows/value_text.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace bracken::engine {

namespace {

// True when the text, read as a double and rounded to a float, is `value`
// and within the float range.
bool ServerReadsBack(const char* text, float value) {
  double read = std::strtod(text, nullptr);
  return std::fabs(read) <= FLT_MAX && static_cast<float>(read) == value;
}

}  // namespace

void AppendExactText(std::string& out, const source::Variant& value) {
  std::size_t start = out.size();
  value.AppendText(out);
  if (value.kind() != source::Variant::Kind::Single) return;
  const auto single = static_cast<float>(value.ToDouble());
  if (!std::isfinite(single) || ServerReadsBack(out.c_str() + start, single)) return;
  char buffer[32];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(single)).ptr;
  out.resize(start);
  out.append(buffer, end);
}

}  // namespace bracken::engine
