#include "source/shortest_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace bracken::source {

namespace {

// A number of the form c / 10^k with c a whole number below 2^digits is
// exact in the type's arithmetic for both c and 10^k up to the limits below,
// so one correctly rounded division gives the value that text reads back as.
template <typename T>
struct Limits;
template <>
struct Limits<double> {
  static constexpr double kWhole = 9007199254740992.0;  // 2^53
  static constexpr int kMaxDecimals = 22;               // 10^22 is exact
};
template <>
struct Limits<float> {
  static constexpr float kWhole = 16777216.0f;  // 2^24
  static constexpr int kMaxDecimals = 10;       // 10^10 is exact
};

char* PutDigits(uint64_t c, int decimals, char* out) {
  char digits[24];
  int count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, c).ptr - digits);
  if (count <= decimals) {  // below one: "0.", zeros, then the digits
    *out++ = '0';
    *out++ = '.';
    for (int i = decimals; i > count; --i) *out++ = '0';
    return std::copy(digits, digits + count, out);
  }
  out = std::copy(digits, digits + count - decimals, out);
  if (decimals == 0) return out;
  *out++ = '.';
  return std::copy(digits + count - decimals, digits + count, out);
}

// The gap from a positive finite value to the next one up.
template <typename T>
T GapAbove(T value) {
  using Bits = std::conditional_t<sizeof(T) == 8, uint64_t, uint32_t>;
  Bits bits;
  std::memcpy(&bits, &value, sizeof bits);
  ++bits;
  T next;
  std::memcpy(&next, &bits, sizeof next);
  return next - value;
}

// The shortest decimal c / 10^k that reads back as magnitude, for magnitudes
// from 0.01 (below it the scientific form may be shorter) while c stays
// whole and exact. The values that read back as magnitude fill an interval
// no wider than the gap g to the next value up, and the rounded product
// magnitude * 10^k lies within g * 10^k of the exact one; so a fitting c lies
// within 2 g 10^k of that product. While g * 10^k is below a quarter, that
// leaves only the whole number nearest the product, and one division tells
// whether it fits. The first k with a fitting c gives the fewest digits.
// Trailing zeros (whole numbers such as 1e+06 may be shorter in the
// scientific form) go the general way. False when the quick way does not
// apply.
template <typename T>
bool FindShortest(T magnitude, uint64_t& found, int& decimals) {
  if (!(magnitude >= T(0.01) && magnitude < Limits<T>::kWhole)) return false;
  T gap = GapAbove(magnitude);
  uint64_t power = 1;
  for (int k = 0; k <= Limits<T>::kMaxDecimals; ++k, power *= 10) {
    T scale = static_cast<T>(power);
    T reach = gap * scale;
    if (!(reach < T(0.25))) return false;
    T scaled = magnitude * scale;
    if (!(scaled < Limits<T>::kWhole)) return false;
    uint64_t c = static_cast<uint64_t>(scaled);  // exact: whole part of a value below 2^53
    T fraction = scaled - static_cast<T>(c);     // exact as well
    if (fraction >= T(0.5)) {
      ++c;
      fraction = T(1) - fraction;
    }
    if (fraction > 3 * reach || c == 0) continue;  // too far from a whole number
    if (static_cast<T>(c) / scale != magnitude) continue;
    if (c % 10 == 0) return false;
    found = c;
    decimals = k;
    return true;
  }
  return false;
}

template <typename T>
char* Put(T value, char* out) {
  if (value == 0) {
    if (std::signbit(value)) *out++ = '-';
    *out++ = '0';
    return out;
  }
  uint64_t digits = 0;
  int decimals = 0;
  if (FindShortest(std::fabs(value), digits, decimals)) {
    if (value < 0) *out++ = '-';
    return PutDigits(digits, decimals, out);
  }
  return std::to_chars(out, out + 64, value).ptr;
}

}  // namespace

char* PutShortest(double value, char* out) { return Put(value, out); }
char* PutShortest(float value, char* out) { return Put(value, out); }

}  // namespace bracken::source
