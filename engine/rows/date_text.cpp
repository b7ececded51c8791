#include "engine/rows/date_text.h"

#include <cctype>

namespace bracken::engine {

namespace {

// Reads the text from left to right, one small piece at a time.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  void SkipSpaces() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  bool AtEnd() const { return pos_ >= text_.size(); }
  bool Peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  bool Take(char c) {
    if (!Peek(c)) return false;
    ++pos_;
    return true;
  }
  // 1 to maxDigits decimal digits.
  bool Number(int maxDigits, int& value) {
    int digits = 0;
    value = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])) &&
           digits < maxDigits) {
      value = value * 10 + (text_[pos_++] - '0');
      ++digits;
    }
    return digits > 0 &&
           !(pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])));
  }
  size_t Position() const { return pos_; }
  void Rewind(size_t pos) { pos_ = pos; }
  bool TakeMeridiem(char& which) {
    if (pos_ + 2 > text_.size()) return false;
    char first = static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_])));
    char second = static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_ + 1])));
    if ((first != 'A' && first != 'P') || second != 'M') return false;
    which = first;
    pos_ += 2;
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool ParseDate(Scanner& in, DateTimeParts& parts) {
  int month = 0, day = 0, year = 0;
  if (!in.Number(2, month) || !in.Take('/') || !in.Number(2, day) || !in.Take('/') ||
      !in.Number(4, year)) {
    return false;
  }
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    return false;
  }
  parts.year = year;
  parts.month = month;
  parts.day = day;
  return true;
}

// "2:30:00 PM", "2:30 PM", "14:30:00" or "14:30".
bool ParseTime(Scanner& in, DateTimeParts& parts) {
  int hour = 0, minute = 0, second = 0;
  if (!in.Number(2, hour) || !in.Take(':') || !in.Number(2, minute)) return false;
  if (in.Take(':') && !in.Number(2, second)) return false;
  if (minute > 59 || second > 59) return false;
  in.SkipSpaces();
  char meridiem = 0;
  if (in.TakeMeridiem(meridiem)) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (meridiem == 'P' ? 12 : 0);
  } else if (hour > 23) {
    return false;
  }
  parts.hour = hour;
  parts.minute = minute;
  parts.second = second;
  return true;
}

}  // namespace

std::optional<DateTimeParts> ParseDateTimeText(std::string_view text) {
  DateTimeParts parts;
  Scanner in(text);
  in.SkipSpaces();
  size_t start = in.Position();
  bool hasDate = ParseDate(in, parts);
  if (!hasDate) {
    in.Rewind(start);
    parts = DateTimeParts{};
  }
  in.SkipSpaces();
  if (!in.AtEnd() || !hasDate) {
    if (!ParseTime(in, parts)) return std::nullopt;
    in.SkipSpaces();
  }
  if (!in.AtEnd()) return std::nullopt;
  return parts;
}

}  // namespace bracken::engine
