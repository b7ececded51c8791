// The Access functions, a group at a time, each case evaluated by the server
// and compared with the value Access gives.

#include "tests/expression/expression_server.h"

namespace bracken::testing {
namespace {

using Functions = ExpressionServerTest;

TEST_F(Functions, DatePartsAndWeekdays) {
  CheckAll({
      {"Year(#3/15/2001 14:05:09#)", "2001"},
      {"Month(#3/15/2001 14:05:09#)", "3"},
      {"Day(#3/15/2001 14:05:09#)", "15"},
      {"Hour(#3/15/2001 14:05:09#)", "14"},
      {"Minute(#3/15/2001 14:05:09#)", "5"},
      {"Second(#3/15/2001 14:05:09#)", "9"},
      {"Year(Null)", std::nullopt},
      // 1 January 2000 was a Saturday.
      {"Weekday(#1/1/2000#)", "7"},
      {"Weekday(#1/1/2000#, 2)", "6"},
      {"Weekday(#1/3/2000#, 2)", "1"},
      {"Weekday(#1/2/2000#, 7)", "2"},
      {"DatePart(\"w\", #1/1/2000#, 2)", "6"},
      {"DatePart(\"yyyy\", #5/1/2000#)", "2000"},
      {"DatePart(\"q\", #5/1/2000#)", "2"},
      {"DatePart(\"m\", #5/1/2000#)", "5"},
      {"DatePart(\"y\", #2/1/2000#)", "32"},
      {"DatePart(\"d\", #2/1/2000#)", "1"},
      {"DatePart(\"w\", #1/1/2000#)", "7"},
      {"DatePart(\"ww\", #1/1/2000#)", "1"},
      {"DatePart(\"ww\", #1/2/2000#)", "2"},
      {"DatePart(\"ww\", #12/31/2000#)", "54"},
      {"DatePart(\"h\", #1/1/2000 13:14:15#)", "13"},
      {"DatePart(\"n\", #1/1/2000 13:14:15#)", "14"},
      {"DatePart(\"s\", #1/1/2000 13:14:15#)", "15"},
  });
}

TEST_F(Functions, DateArithmetic) {
  CheckAll({
      {"DateAdd(\"m\", 1, #1/31/2000#)", "2000-02-29 00:00:00"},
      {"DateAdd(\"yyyy\", -1, #2/29/2000#)", "1999-02-28 00:00:00"},
      {"DateAdd(\"q\", 1, #1/15/2000#)", "2000-04-15 00:00:00"},
      {"DateAdd(\"ww\", 2, #1/1/2000#)", "2000-01-15 00:00:00"},
      {"DateAdd(\"d\", 1, #1/1/2000#)", "2000-01-02 00:00:00"},
      {"DateAdd(\"h\", 25, #1/1/2000#)", "2000-01-02 01:00:00"},
      {"DateAdd(\"n\", -30, #1/1/2000#)", "1999-12-31 23:30:00"},
      {"DateAdd(\"s\", 61, #1/1/2000#)", "2000-01-01 00:01:01"},
      // DateDiff counts the boundaries crossed, not whole periods.
      {"DateDiff(\"yyyy\", #12/31/2000#, #1/1/2001#)", "1"},
      {"DateDiff(\"yyyy\", #1/1/2001#, #12/31/2000#)", "-1"},
      {"DateDiff(\"q\", #3/31/2000#, #4/1/2000#)", "1"},
      {"DateDiff(\"m\", #1/31/2000#, #2/1/2000#)", "1"},
      {"DateDiff(\"d\", #1/1/2000 23:00#, #1/2/2000 1:00#)", "1"},
      {"DateDiff(\"y\", #1/1/2000#, #3/1/2000#)", "60"},
      {"DateDiff(\"w\", #1/1/2000#, #1/15/2000#)", "2"},
      {"DateDiff(\"w\", #1/1/2000#, #1/14/2000#)", "1"},
      {"DateDiff(\"ww\", #1/1/2000#, #1/2/2000#)", "1"},
      {"DateDiff(\"ww\", #1/2/2000#, #1/8/2000#)", "0"},
      {"DateDiff(\"h\", #1/1/2000 10:59#, #1/1/2000 11:01#)", "1"},
      {"DateDiff(\"h\", #1/1/2000 11:01#, #1/1/2000 10:59#)", "-1"},
      {"DateDiff(\"n\", #1/1/2000 10:59:59#, #1/1/2000 11:00:00#)", "1"},
      {"DateDiff(\"s\", #1/1/2000 10:59:59#, #1/1/2000 11:00:00#)", "1"},
      {"DateSerial(2000, 2, 30)", "2000-03-01 00:00:00"},
      {"DateSerial(2000, 13, 1)", "2001-01-01 00:00:00"},
      {"DateSerial(2000, 1, 0)", "1999-12-31 00:00:00"},
      {"DateSerial(2000, 0, 1)", "1999-12-01 00:00:00"},
      {"DateSerial(99, 1, 1)", "1999-01-01 00:00:00"},
      {"DateSerial(29, 1, 1)", "2029-01-01 00:00:00"},
  });
}

TEST_F(Functions, ClockFunctionsReadTheServersClock) {
  CheckAll({
      {"Date() = DateSerial(Year(Now()), Month(Now()), Day(Now()))", "True"},
      {"Year(Time())", "1899"},
      {"Abs(DateDiff(\"s\", Now(), Now()))", "0"},
  });
}

TEST_F(Functions, Texts) {
  CheckAll({
      {"Len(\"abc\")", "3"},
      {"Len(\"\")", "0"},
      {"Len(\"日本\")", "2"},
      {"Len(Null)", std::nullopt},
      {"Left(\"abcdef\", 2)", "ab"},
      {"Left(\"ab\", 5)", "ab"},
      {"Right(\"abcdef\", 2)", "ef"},
      {"Mid(\"abcdef\", 2, 3)", "bcd"},
      {"Mid(\"abcdef\", 4)", "def"},
      {"InStr(\"abcabc\", \"c\")", "3"},
      {"InStr(4, \"abcabc\", \"c\")", "6"},
      {"InStr(\"abc\", \"z\")", "0"},
      {"InStr(1, \"ABC\", \"b\", 1)", "2"},
      {"InStr(Null, \"a\")", std::nullopt},
      {"Trim(\"  a b  \")", "a b"},
      {"LTrim(\"  a \")", "a "},
      {"RTrim(\" a  \")", " a"},
      {"UCase(\"abcé\")", "ABCÉ"},
      {"LCase(\"ABC\")", "abc"},
      {"Replace(\"aXbXc\", \"X\", \"-\")", "a-b-c"},
      {"Replace(\"C:\\a\", \"\\\", \"/\")", "C:/a"},
  });
}

TEST_F(Functions, ChoicesAndNull) {
  CheckAll({
      {"IIf(1 > 2, \"a\", \"b\")", "b"},
      {"IIf(Null, 1, 2)", "2"},
      {"IIf(True, True, 0)", "-1"},
      {"Nz(Null, 5)", "5"},
      {"Nz(3, 5)", "3"},
      {"Nz(Null + 1)", "0"},
      {"IsNull(Null)", "True"},
      {"IsNull(0)", "False"},
  });
}

TEST_F(Functions, NumbersAndRounding) {
  CheckAll({
      {"Int(-2.5)", "-3"},
      {"Int(2.7)", "2"},
      {"Fix(-2.5)", "-2"},
      {"Abs(-3)", "3"},
      {"Sgn(-5)", "-1"},
      {"Sgn(0)", "0"},
      // Round, CInt and CLng take ties to the even neighbour.
      {"Round(2.5)", "2"},
      {"Round(3.5)", "4"},
      {"Round(-2.5)", "-2"},
      {"Round(0.125, 2)", "0.12"},
      {"Round(0.375, 2)", "0.38"},
      {"Round(2.567, 2)", "2.57"},
      {"Val(\"  12abc\")", "12"},
      {"Val(\"1 2 3\")", "123"},
      {"Val(\"abc\")", "0"},
      {"Val(\"-1.5e2x\")", "-150"},
      {"Val(\".5\")", "0.5"},
      {"CInt(2.5)", "2"},
      {"CInt(3.5)", "4"},
      {"CInt(-2.5)", "-2"},
      {"CLng(1234.5)", "1234"},
      {"CInt(\"12\")", "12"},
      {"CDbl(\"1.5\")", "1.5"},
      {"CCur(1.23456)", "1.2346"},
      {"CCur(1.00005)", "1.0000"},
      {"CStr(12)", "12"},
      {"CBool(5)", "True"},
      {"CBool(0)", "False"},
      {"CDate(#1/1/2000#)", "2000-01-01 00:00:00"},
  });
}

TEST_F(Functions, FormatOfDatesAndNumbers) {
  CheckAll({
      {"Format(#1/5/2000 13:05:09#, \"Short Date\")", "1/5/2000"},
      {"Format(#1/5/2000 13:05:09#, \"Medium Date\")", "05-Jan-00"},
      {"Format(#1/5/2000 13:05:09#, \"Long Date\")", "Wednesday, January 5, 2000"},
      {"Format(#1/5/2000 13:05:09#, \"Long Time\")", "1:05:09 PM"},
      {"Format(#1/5/2000 13:05:09#, \"Medium Time\")", "01:05 PM"},
      {"Format(#1/5/2000 13:05:09#, \"Short Time\")", "13:05"},
      {"Format(#1/5/2000 13:05:09#, \"General Date\")", "1/5/2000 1:05:09 PM"},
      {"Format(#1/5/2000#, \"General Date\")", "1/5/2000"},
      {"Format(#13:05:09#, \"General Date\")", "1:05:09 PM"},
      {"Format(#1/5/2000 13:05:09#, \"yyyy-mm-dd\")", "2000-01-05"},
      {"Format(#1/5/2000 13:05:09#, \"dd/mm/yyyy hh:nn:ss\")", "05/01/2000 13:05:09"},
      {"Format(#1/5/2000 13:05:09#, \"d mmm yyyy\")", "5 Jan 2000"},
      {"Format(#1/5/2000 13:05:09#, \"h:m:s\")", "13:5:9"},
      {"Format(#1/5/2000 13:05:09#, \"hh:mm\")", "13:05"},
      {"Format(#1/5/2000 13:05:09#, \"mmmm yy\")", "January 00"},
      {"Format(#1/5/2000 13:05:09#, \"m\")", "1"},
      {"Format(#1/5/2000 13:05:09#, \"yyyy-m\")", "2000-1"},
      {"Format(#1/5/2000 13:05:09#, \"n:ss\")", "5:09"},
      {"Format(1234.5, \"Currency\")", "$1,234.50"},
      {"Format(-1234.5, \"Currency\")", "($1,234.50)"},
      {"Format(1234.5, \"Fixed\")", "1234.50"},
      {"Format(1234.5, \"Standard\")", "1,234.50"},
      {"Format(0.256, \"Percent\")", "25.60%"},
      {"Format(1234.567, \"0.00\")", "1234.57"},
      {"Format(1234.5, \"#,##0\")", "1,235"},
      {"Format(1234567.891, \"#,##0.00\")", "1,234,567.89"},
      {"Format(2.5, \"0\")", "3"},
      {"Format(0.123, \"0.0%\")", "12.3%"},
  });
}

}  // namespace
}  // namespace bracken::testing
