#include "expression/token.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace bracken::expression {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

// A run of digits read as a number, at most 4 digits; -1 where none.
int ReadNumber(std::string_view text, std::size_t& i, int* digits = nullptr) {
  int value = 0;
  int count = 0;
  while (i < text.size() && IsDigit(text[i]) && count < 5) {
    value = value * 10 + (text[i] - '0');
    ++i;
    ++count;
  }
  if (digits != nullptr) *digits = count;
  return count == 0 || count > 4 ? -1 : value;
}

void SkipSpaces(std::string_view text, std::size_t& i) {
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
}

bool StartsWithWord(std::string_view text, std::size_t i, std::string_view word) {
  if (text.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (std::toupper(static_cast<unsigned char>(text[i + k])) != word[k]) return false;
  }
  return true;
}

[[noreturn]] void BadDate(std::string_view inside) {
  throw SyntaxError("#" + std::string(inside) + "# is not a date Access can read");
}

// "h:nn[:ss] [AM|PM]" from position i to the end.
void ReadTime(std::string_view inside, std::size_t& i, DateValue& date) {
  int hour = ReadNumber(inside, i);
  if (hour < 0 || i >= inside.size() || inside[i] != ':') BadDate(inside);
  ++i;
  int minute = ReadNumber(inside, i);
  int second = 0;
  if (minute < 0) BadDate(inside);
  if (i < inside.size() && inside[i] == ':') {
    ++i;
    second = ReadNumber(inside, i);
    if (second < 0) BadDate(inside);
  }
  SkipSpaces(inside, i);
  if (StartsWithWord(inside, i, "AM") || StartsWithWord(inside, i, "PM")) {
    if (hour < 1 || hour > 12) BadDate(inside);
    bool pm = std::toupper(static_cast<unsigned char>(inside[i])) == 'P';
    hour = hour % 12 + (pm ? 12 : 0);
    i += 2;
  }
  if (hour > 23 || minute > 59 || second > 59) BadDate(inside);
  date.hour = hour;
  date.minute = minute;
  date.second = second;
  date.hasTime = true;
}

// &H1F or &O17 from position i (at the &), as decimal digits. Like VBA: up
// to four hex (six octal) digits are an Integer, so &HFFFF is -1; longer ones
// and those ending in & are a Long, so &HFFFFFFFF is -1 and &HFFFF& 65535.
std::string ReadRadixNumber(std::string_view text, std::size_t& i) {
  bool hex = std::toupper(static_cast<unsigned char>(text[i + 1])) == 'H';
  std::size_t start = i;
  i += 2;
  long long value = 0;
  int digits = 0;
  while (i < text.size()) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    int digit = IsDigit(c) ? c - '0' : (hex && c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1);
    if (digit < 0 || digit >= (hex ? 16 : 8)) break;
    value = value * (hex ? 16 : 8) + digit;
    ++digits;
    ++i;
  }
  bool isLong = i < text.size() && text[i] == '&';
  if (isLong) ++i;
  if (digits == 0 || value > 0xFFFFFFFFLL || (i < text.size() && IsNameChar(text[i]))) {
    throw SyntaxError("the number at position " + std::to_string(start + 1) +
                      " is not a hexadecimal or octal number Access can read");
  }
  if (!isLong && value <= 0xFFFF) {
    if (value >= 0x8000) value -= 0x10000;
  } else if (value >= 0x80000000LL) {
    value -= 0x100000000LL;
  }
  return std::to_string(value);
}

}  // namespace

DateValue ParseDateLiteral(std::string_view inside) {
  DateValue date;
  std::size_t i = 0;
  SkipSpaces(inside, i);
  std::size_t start = i;
  int firstDigits = 0;
  int first = ReadNumber(inside, i, &firstDigits);
  if (first < 0) BadDate(inside);
  if (i < inside.size() && (inside[i] == '/' || inside[i] == '-')) {
    char separator = inside[i];
    ++i;
    int second = ReadNumber(inside, i);
    if (second < 0 || i >= inside.size() || inside[i] != separator) BadDate(inside);
    ++i;
    int yearDigits = 0;
    int third = ReadNumber(inside, i, &yearDigits);
    if (third < 0) BadDate(inside);
    if (firstDigits == 4) {
      date.year = first;
      date.month = second;
      date.day = third;
    } else if (separator == '/') {
      // The US order Access's own SQL always uses, whatever the computer's settings.
      date.month = first;
      date.day = second;
      date.year = third;
      if (yearDigits <= 2) date.year += third < 30 ? 2000 : 1900;
    } else {
      BadDate(inside);
    }
    if (date.year < 100 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > DaysInMonth(date.year, date.month)) {
      BadDate(inside);
    }
    date.hasDate = true;
    SkipSpaces(inside, i);
    if (i < inside.size()) ReadTime(inside, i, date);
  } else {
    i = start;
    ReadTime(inside, i, date);
  }
  SkipSpaces(inside, i);
  if (i != inside.size()) BadDate(inside);
  return date;
}

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
    Token token;
    token.position = i;
    if (i >= text.size()) {
      tokens.push_back(token);
      return tokens;
    }
    char c = text[i];
    if (IsDigit(c) || (c == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
      std::size_t start = i;
      while (i < text.size() && IsDigit(text[i])) ++i;
      if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i;
      }
      if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t mark = i++;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (i < text.size() && IsDigit(text[i])) {
          while (i < text.size() && IsDigit(text[i])) ++i;
        } else {
          i = mark;
        }
      }
      if (i < text.size() && IsNameStart(text[i])) {
        throw SyntaxError("the number at position " + std::to_string(start + 1) +
                          " runs into a name");
      }
      token.type = TokenType::Number;
      token.text = std::string(text.substr(start, i - start));
      // Beyond a Double's range Access overflows, and the server refuses the literal.
      errno = 0;
      double value = std::strtod(token.text.c_str(), nullptr);
      if (errno == ERANGE && std::fabs(value) > 1) {
        throw SyntaxError("the number at position " + std::to_string(start + 1) + " is too large");
      }
    } else if (c == '&' && i + 2 < text.size() &&
               (std::toupper(static_cast<unsigned char>(text[i + 1])) == 'H' ||
                std::toupper(static_cast<unsigned char>(text[i + 1])) == 'O') &&
               std::isxdigit(static_cast<unsigned char>(text[i + 2])) != 0) {
      token.type = TokenType::Number;
      token.text = ReadRadixNumber(text, i);
    } else if (c == '"' || c == '\'') {
      ++i;
      while (true) {
        if (i >= text.size()) throw SyntaxError("a text in quotes has no closing quote");
        if (text[i] == c) {
          if (i + 1 < text.size() && text[i + 1] == c) {
            token.text += c;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        token.text += text[i++];
      }
      token.type = TokenType::Text;
    } else if (c == '#') {
      std::size_t end = text.find('#', i + 1);
      if (end == std::string_view::npos) throw SyntaxError("a #date# has no closing #");
      token.type = TokenType::Date;
      token.date = ParseDateLiteral(text.substr(i + 1, end - i - 1));
      token.text = std::string(text.substr(i, end - i + 1));
      i = end + 1;
    } else if (c == '[') {
      std::size_t end = text.find(']', i + 1);
      if (end == std::string_view::npos) throw SyntaxError("a [name] has no closing bracket");
      token.type = TokenType::BracketName;
      token.text = std::string(text.substr(i + 1, end - i - 1));
      if (token.text.empty()) throw SyntaxError("[] names nothing");
      i = end + 1;
    } else if (IsNameStart(c)) {
      std::size_t start = i;
      while (i < text.size() && IsNameChar(text[i])) ++i;
      token.type = TokenType::Name;
      token.text = std::string(text.substr(start, i - start));
    } else {
      static constexpr std::string_view kTwo[] = {"<=", ">=", "<>"};
      token.type = TokenType::Symbol;
      for (std::string_view two : kTwo) {
        if (text.substr(i, 2) == two) token.text = std::string(two);
      }
      if (token.text.empty()) {
        static constexpr std::string_view kOne = "()+-*/\\^&=<>,.!";
        if (kOne.find(c) == std::string_view::npos) {
          throw SyntaxError(std::string("the character '") + c + "' has no meaning here");
        }
        token.text = std::string(1, c);
      }
      i += token.text.size();
    }
    tokens.push_back(std::move(token));
  }
}

}  // namespace bracken::expression
