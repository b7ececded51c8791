#pragma once

// The words of an Access expression: numbers, texts, #dates#, names (plain or
// in brackets) and operators. Keywords (And, Like, Null, ...) are plain names
// here; the parser tells them apart, and a name in brackets is never one.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace bracken::expression {

// A point in time as a date literal writes it. A literal with only a time is
// on Access's day zero, 30 December 1899.
struct DateValue {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool hasDate = false;
  bool hasTime = false;
};

enum class TokenType { Number, Text, Date, Name, BracketName, Symbol, End };

struct Token {
  TokenType type = TokenType::End;
  // Number: its digits as written; Text: the value with doubled quotes made
  // single; Name and BracketName: the name; Symbol: the operator ("<=", "(").
  std::string text;
  DateValue date;
  // Offset of the token's first character in the expression.
  std::size_t position = 0;
};

// Thrown for text that is not an Access expression; the message says what is
// wrong in plain words.
class SyntaxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The tokens of `text`, ending with one End token. Throws SyntaxError.
std::vector<Token> Tokenize(std::string_view text);

// Reads the inside of a #date# literal: "m/d/yyyy", "yyyy-mm-dd" or
// "yyyy/m/d", a time "h:nn[:ss] [AM|PM]", or both. Throws SyntaxError.
DateValue ParseDateLiteral(std::string_view inside);

}  // namespace bracken::expression
