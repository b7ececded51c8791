// Literals and operators, each case evaluated by the server and compared
// with the value Access gives.

#include "tests/expression/expression_server.h"

namespace bracken::testing {
namespace {

using Literals = ExpressionServerTest;
using Operators = ExpressionServerTest;
using LikePatterns = ExpressionServerTest;

TEST_F(Literals, NumbersTextsDatesAndConstants) {
  CheckAll({
      {"42", "42"},
      {"1.5", "1.5"},
      {"1.5E3", "1500"},
      {"2.5e-1", "0.25"},
      {".5", "0.5"},
      {"&H1F", "31"},
      {"&HFFFF", "-1"},
      {"&HFFFF&", "65535"},
      {"&HFFFFFFFF", "-1"},
      {"&O17", "15"},
      {"&H10 + 1", "17"},
      {"\"a\" & &H10", "a16"},
      {R"("it""s")", "it\"s"},
      {"'O''Brien'", "O'Brien"},
      {R"("C:\dir\")", "C:\\dir\\"},
      {"\"\"", ""},
      {"#1/31/2000#", "2000-01-31 00:00:00"},
      {"#1/31/2000 1:05:09 PM#", "2000-01-31 13:05:09"},
      {"#12/31/1999 12:00:00 AM#", "1999-12-31 00:00:00"},
      {"#12:30 AM#", "1899-12-30 00:30:00"},
      {"#13:45#", "1899-12-30 13:45:00"},
      {"#2000-02-29#", "2000-02-29 00:00:00"},
      {"#2000/2/29 23:59:59#", "2000-02-29 23:59:59"},
      {"#1/1/29#", "2029-01-01 00:00:00"},
      {"#1/1/30#", "1930-01-01 00:00:00"},
      {"True", "True"},
      {"Yes", "True"},
      {"On", "True"},
      {"No", "False"},
      {"Off", "False"},
      {"Null", std::nullopt},
      // Access's True is -1 wherever it is a number.
      {"True + 0", "-1"},
      {"Yes * 2", "-2"},
      {"True = -1", "True"},
  });
}

TEST_F(Operators, ArithmeticWithAccessPrecedenceAndRounding) {
  CheckAll({
      {"-2^2", "-4"},
      {"2^-1", "0.5"},
      {"2^3^2", "64"},
      {"2+3*4", "14"},
      {"(2+3)*4", "20"},
      {"10-4-3", "3"},
      {"7/2", "3.5"},
      {"1/3", "0.3333333333333333"},
      {"7\\2", "3"},
      {"-7\\2", "-3"},
      // \ and Mod round their operands to whole numbers, ties to even.
      {"7.5\\2", "4"},
      {"6.5\\2", "3"},
      {"2.5 Mod 2", "0"},
      {"3.5 Mod 2", "0"},
      {"-7 Mod 3", "-1"},
      {"7 Mod -3", "1"},
      {"10 Mod 3*2", "4"},
      {"10\\3*2", "1"},
      {"17 Mod 10\\3", "2"},
      {"1 + Null", std::nullopt},
      {"#1/31/2000# + 1", "2000-02-01 00:00:00"},
      {"1 + #1/31/2000#", "2000-02-01 00:00:00"},
      {"#1/31/2000# - 1.5", "2000-01-29 12:00:00"},
      {"#1/31/2000 6:00:00 AM# - #1/30/2000#", "1.25"},
  });
}

TEST_F(Operators, JoiningTextTreatsNullAsEmpty) {
  CheckAll({
      {R"("a" & "b")", "ab"},
      {R"("a" & Null)", "a"},
      {R"(Null & "b" & Null)", "b"},
      {"Null & Null", std::nullopt},
      {R"(1 + 2 & 3)", "33"},
      {R"(1.50 & "x")", "1.5x"},
      {R"(1E20 & "")", "1E+20"},
      {R"("a" + "b")", "ab"},
      {R"("a" + Null)", std::nullopt},
  });
}

TEST_F(Operators, ComparisonsAndLogicWithNull) {
  CheckAll({
      {"1 < 2", "True"},
      {"1 <> 1", "False"},
      {"2 >= 2", "True"},
      {R"("abc" = "ABC")", "True"},
      {R"("a" < "B")", "True"},
      {"Null = Null", std::nullopt},
      {"#1/1/2000# < #1/2/2000#", "True"},
      {"True And Null", std::nullopt},
      {"False And Null", "False"},
      {"True Or Null", "True"},
      {"True Xor True", "False"},
      {"True Xor False", "True"},
      {"True Eqv False", "False"},
      {"False Eqv False", "True"},
      {"Null Imp True", "True"},
      {"Null Imp False", std::nullopt},
      {"False Imp Null", "True"},
      {"True Imp Null", std::nullopt},
      {"Not True", "False"},
      {"Not 1 = 2", "True"},
      {"1 = 1 Or 1 = 2 And 1 = 3", "True"},
      {"5 Between 1 And 9", "True"},
      {"5 Between 9 And 1", "True"},
      {"10 Between 1 And 9", "False"},
      {"5 Not Between 1 And 9", "False"},
      {R"("b" Between "A" And "C")", "True"},
      {"3 In (1, 2, 3)", "True"},
      {"4 Not In (1, 2)", "True"},
      {R"("B" In ("a", "b"))", "True"},
      {"Null Is Null", "True"},
      {"1 Is Not Null", "True"},
  });
}

TEST_F(LikePatterns, WildcardsClassesAndEscapes) {
  CheckAll({
      {R"("abc" Like "a*")", "True"},
      {R"("abc" Like "A?C")", "True"},
      {R"("ab" Like "a")", "False"},
      {R"("a1c" Like "a#c")", "True"},
      {R"("abc" Like "a#c")", "False"},
      {R"("b" Like "[a-c]")", "True"},
      {R"("B" Like "[a-c]")", "True"},
      {R"("d" Like "[!a-c]")", "True"},
      {R"("b" Like "[!a-c]")", "False"},
      {R"("ab1" Like "*#")", "True"},
      {R"("ab1x" Like "*#")", "False"},
      // Characters that LIKE or a regular expression would read as their own
      // wildcards are plain characters in Access.
      {R"("a_c" Like "a_c")", "True"},
      {R"("abc" Like "a_c")", "False"},
      {R"("50%" Like "5?%")", "True"},
      {R"("500" Like "5?%")", "False"},
      {R"("a*c" Like "a[*]c")", "True"},
      {R"("abc" Like "a[*]c")", "False"},
      {R"("a.c" Like "a.#")", "False"},
      {R"("a.1" Like "a.#")", "True"},
      {R"("ab1" Like "a.#")", "False"},
      {R"("C:\x" Like "C:\*")", "True"},
      {R"("C:x" Like "C:\*")", "False"},
      {R"x("(1)" Like "([0-9])")x", "True"},
      {R"("a-" Like "a[-+]")", "True"},
      {R"("x" Like "[]x")", "True"},
      {R"("abc" Not Like "a*")", "False"},
      {R"(Null Like "a*")", std::nullopt},
  });
}

// A pattern known only when the query runs ("" & "..." stands for a
// parameter or a column) is turned into the same regular expression on the
// server: each case is asked both ways and must give Access's answer twice.
TEST_F(LikePatterns, PatternsBuiltWhenTheQueryRuns) {
  struct Case {
    std::string value;
    std::string pattern;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"Smithson", "*son", true},
      {"SMITH", "sm?th", true},
      {"Smyth", "sm?th", true},
      {"Smiith", "sm?th", false},
      {"a1c", "a#c", true},
      {"abc", "a#c", false},
      {"b", "[a-c]", true},
      {"B", "[a-c]", true},
      {"d", "[!a-c]", true},
      {"b", "[!a-c]", false},
      {"x9", "[w-z][0-5-9]", true},
      {"x7", "[w-z][0-5]", false},
      {"a-", "a[-+]", true},
      {"a!", "a[!b]", true},
      {"x", "[]x", true},
      {"a*c", "a[*]c", true},
      {"abc", "a[*]c", false},
      {"a?c", "a[?]c", true},
      {"abc", "a[?]c", false},
      {"a#c", "a[#]c", true},
      {"a1c", "a[#]c", false},
      {"[x", "[[]x", true},
      {"x]", "x]", true},
      {"a!b", "a!b", true},
      {"a.c", "a.c", true},
      {"abc", "a.c", false},
      {"aa+", "a+", false},
      {"a+", "a+", true},
      {"(x)", "(?)", true},
      {"^a$", "^a$", true},
      {"a|b", "a|b", true},
      {"a", "a|b", false},
      {"C:\\x", "C:\\*", true},
      {"C:x", "C:\\*", false},
      {"{2}", "{#}", true},
      {"aa", "a{2}", false},
      {"50%", "5?%", true},
      {"500", "5?%", false},
      {"a_c", "a_c", true},
      {"abc", "a_c", false},
      {"Ölçü", "öl*", true},
      {"Ölçü", "[ö]l?ü", true},
      {"a😀b", "a?b", true},
      {"a😀b", "a[!x]b", true},
      {"😀", "[😀]", true},
      {"line\nbreak", "line*", true},
      {"", "*", true},
      {"abc", "", false},
      {"]", "[]]", true},
      {"a", "a[]", true},
      {"-", "[a-]", true},
      {"-", "[!-a]", false},
      {"b", "[!-a]", true},
      {"it's", "it'?", true},
      {"a\"\"b", "a\"\"b", true},
  };
  std::vector<ExpressionCase> asked;
  for (const Case& c : cases) {
    std::string value = "\"" + c.value + "\"";
    std::string expected = c.matches ? "True" : "False";
    asked.push_back({value + " Like \"\" & \"" + c.pattern + "\"", expected});
    asked.push_back({value + " Like \"" + c.pattern + "\"", expected});
  }
  asked.push_back({R"("abc" Like Null & Null)", std::nullopt});
  asked.push_back({R"(Null Like "" & "*")", std::nullopt});
  asked.push_back({R"("abc" Not Like "" & "a*")", "False"});
  asked.push_back({R"("abc" Like "*" & Null & "*")", "True"});
  CheckAll(asked);
}

}  // namespace
}  // namespace bracken::testing
