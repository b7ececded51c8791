#include "engine/output/dump_executor.h"

#include <algorithm>

#include "target/session_settings.h"

namespace bracken::engine {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Room for "SET @name = CONCAT(@name, );" around a piece.
constexpr std::size_t kPieceMargin = 128;
// Pieces stay small enough for any client's line buffer.
constexpr std::size_t kLargestPiece = std::size_t{1} << 20;

void AppendHex(std::string& out, std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  out += "0x";
  for (unsigned char byte : bytes) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
}

// How a text in the file spells CR, LF and Ctrl-Z; nullptr for any other
// character.
const char* LineBreakEscape(char c) {
  switch (c) {
    case '\r':
      return "\\r";
    case '\n':
      return "\\n";
    case '\x1a':
      return "\\Z";
    default:
      return nullptr;
  }
}

}  // namespace

DumpStatementExecutor::DumpStatementExecutor(std::ostream& out, target::ServerTraits traits,
                                             std::string where)
    : out_(out), traits_(std::move(traits)), where_(std::move(where)) {}

bool DumpStatementExecutor::Write(std::string_view statement) {
  if (!error_.empty()) return false;
  if (statement.find_first_of("\r\n\x1a") != std::string_view::npos) {
    out_ << SpellOutLineBreaks(statement);
  } else {
    out_ << statement;
  }
  if (statement.empty() || statement.back() != ';') out_ << ';';
  out_ << '\n';
  if (!out_) {
    error_ = "Cannot write " + where_ + ".";
    return false;
  }
  return true;
}

bool DumpStatementExecutor::Execute(const std::string& statement) {
  constexpr std::string_view kCreate = "CREATE DATABASE ";
  if (!databaseCreated_ && StartsWith(statement, "USE ")) return false;  // "unknown database"
  if (!databaseCreated_ && StartsWith(statement, kCreate)) {
    databaseCreated_ = true;
    if (!Write("DROP DATABASE IF EXISTS " + statement.substr(kCreate.size()))) return false;
  }
  // A procedure's body holds statements of its own: the client reading the
  // file takes it whole between other delimiters.
  if (StartsWith(statement, "CREATE PROCEDURE ")) {
    return Write("DELIMITER ;;") && Write(statement + ";;") && Write("DELIMITER ;");
  }
  return Write(statement);
}

bool DumpStatementExecutor::ExecuteWithLongValues(const std::string& statementWithPlaceholders,
                                                  const std::vector<std::string_view>& values) {
  const std::size_t limit = traits_.MaxStatementBytes();
  const std::size_t piece =
      std::max<std::size_t>(1, std::min(kLargestPiece, (limit - kPieceMargin) / 2));
  std::vector<std::string> names;
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::string name = "@bracken_long_" + std::to_string(i + 1);
    names.push_back(name);
    std::string_view value = values[i];
    text = "SET " + name + " = ";
    if (value.empty()) {
      text += "''";
    } else {
      AppendHex(text, value.substr(0, piece));
    }
    if (!Write(text)) return false;
    for (std::size_t at = piece; at < value.size(); at += piece) {
      text = "SET " + name + " = CONCAT(" + name + ", ";
      AppendHex(text, value.substr(at, piece));
      if (!Write(text + ")")) return false;
    }
  }
  if (!Write(FillPlaceholders(statementWithPlaceholders, names))) return false;
  for (const std::string& name : names) {
    if (!Write("SET " + name + " = NULL")) return false;
  }
  return true;
}

std::string DumpHeader(const std::string& sourceFile, const std::string& when,
                       const target::ServerTraits& traits) {
  const std::string version = traits.version.substr(0, traits.version.find('-'));
  std::string header = "-- Bracken dump of " + sourceFile + "\n-- Written " + when + " for " +
                       (traits.isMariaDb ? "MariaDB " : "MySQL ") + version +
                       " or later; load it with: mariadb < FILE (or mysql < FILE)\n";
  header += std::string("SET NAMES ") + target::kSessionCharset + ";\n";
  header += std::string("SET SESSION sql_mode = '") + target::kSessionSqlMode + "';\n";
  return header;
}

std::string SpellOutLineBreaks(std::string_view statement) {
  std::string out;
  out.reserve(statement.size() + 16);
  char quote = 0;  // the quote of the text or name the scan is in
  for (std::size_t i = 0; i < statement.size(); ++i) {
    const char c = statement[i];
    const bool inText = quote == '\'' || quote == '"';
    if (inText && c == '\\' && i + 1 < statement.size()) {
      // An escaped character; "\" before a raw line break stands for it alone.
      const char next = statement[++i];
      if (const char* spelled = LineBreakEscape(next)) {
        out += spelled;
      } else {
        out += c;
        out += next;
      }
    } else if (const char* spelled = inText ? LineBreakEscape(c) : nullptr) {
      out += spelled;
    } else {
      out += c;
      if (quote == 0 && (c == '\'' || c == '`' || c == '"')) {
        quote = c;
      } else if (c == quote) {
        quote = 0;  // a doubled quote reopens at once
      }
    }
  }
  return out;
}

std::string FillPlaceholders(const std::string& statement, const std::vector<std::string>& names) {
  std::string out;
  std::size_t next = 0;
  char quote = 0;  // the quote of the text or name the scan is in
  for (std::size_t i = 0; i < statement.size(); ++i) {
    const char c = statement[i];
    if (quote != 0) {
      out += c;
      if (c == '\\' && quote == '\'' && i + 1 < statement.size()) {
        out += statement[++i];
      } else if (c == quote) {
        quote = 0;  // a doubled quote reopens at once
      }
    } else if (c == '\'' || c == '`' || c == '"') {
      quote = c;
      out += c;
    } else if (c == '?' && next < names.size()) {
      out += names[next++];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace bracken::engine
