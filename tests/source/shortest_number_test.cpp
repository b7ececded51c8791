// Single and Double text: the quick way must give exactly what the general
// shortest-form conversion gives, for the values data typically holds and
// for the awkward ones (near powers of ten and of two, ties, tiny and huge).

#include "source/shortest_number.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace bracken::source {
namespace {

template <typename T>
void ExpectSameAsToChars(T value) {
  char ours[64];
  char general[64];
  std::string a(ours, PutShortest(value, ours));
  std::string b(general, std::to_chars(general, general + sizeof general, value).ptr);
  ASSERT_EQ(a, b) << "for " << b;
}

template <typename T, typename Bits>
void CompareWithToChars(std::mt19937_64& random) {
  for (T v : {T(0), -T(0), T(1), T(-1), T(0.1), T(0.01), T(0.009999), T(0.5), T(10), T(1e6),
              T(123456), T(1e15), T(9.5), T(99.99), std::numeric_limits<T>::max(),
              std::numeric_limits<T>::min(), std::numeric_limits<T>::denorm_min(),
              std::numeric_limits<T>::infinity(), -std::numeric_limits<T>::infinity()}) {
    ExpectSameAsToChars(v);
  }
  for (int exponent = -8; exponent <= 20; ++exponent) {
    T power = static_cast<T>(std::pow(10.0, exponent));
    ExpectSameAsToChars(power);
    ExpectSameAsToChars(std::nextafter(power, T(0)));
    ExpectSameAsToChars(std::nextafter(power, std::numeric_limits<T>::infinity()));
  }
  for (int i = 0; i < 200000; ++i) {
    // Decimals with few digits, as money, measures and counts are stored.
    int64_t whole = static_cast<int64_t>(random() % 100000000) - 50000000;
    int decimals = static_cast<int>(random() % 8);
    ExpectSameAsToChars(static_cast<T>(whole / std::pow(10.0, decimals)));
    ExpectSameAsToChars(static_cast<T>(whole) * T(0.125));
    ExpectSameAsToChars(static_cast<T>(whole) / T(3));
    // Any bit pattern at all.
    Bits bits = static_cast<Bits>(random());
    T any;
    std::memcpy(&any, &bits, sizeof any);
    if (!std::isnan(any)) ExpectSameAsToChars(any);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(ShortestNumber, DoublesAsTheGeneralConversionGivesThem) {
  std::mt19937_64 random(20261208);
  CompareWithToChars<double, uint64_t>(random);
}

TEST(ShortestNumber, SinglesAsTheGeneralConversionGivesThem) {
  std::mt19937_64 random(19970101);
  CompareWithToChars<float, uint32_t>(random);
}

}  // namespace
}  // namespace bracken::source
