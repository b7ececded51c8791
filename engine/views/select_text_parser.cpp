#include "engine/views/select_text_parser.h"

#include <cctype>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "expression/token.h"
#include "source/access_data.h"

namespace bracken::engine {

namespace {

using source::NameEqual;

// Thrown while reading: what is wrong, in plain words.
struct Unreadable {
  std::string why;
};

bool IsWordChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) != 0 || c == '_' || u >= 0x80;
}

std::string Trim(std::string_view text) {
  std::size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return "";
  std::size_t end = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(begin, end - begin + 1));
}

// The statement's text walked at the level of its clauses: texts, [names],
// #dates# and parenthesised parts are stepped over whole.
class Text {
 public:
  explicit Text(std::string_view text) : text_(text) {}

  std::size_t size() const { return text_.size(); }
  std::string_view view() const { return text_; }

  // The position after the quoted, bracketed or parenthesised part that
  // begins at `at`, or at + 1 for any other character.
  std::size_t Skip(std::size_t at) const {
    char c = text_[at];
    if (c == '"' || c == '\'') {
      for (std::size_t i = at + 1; i < text_.size(); ++i) {
        if (text_[i] == c) {
          if (i + 1 < text_.size() && text_[i + 1] == c) {
            ++i;
            continue;
          }
          return i + 1;
        }
      }
      throw Unreadable{"a text in quotes has no closing quote"};
    }
    if (c == '[' || c == '#') {
      std::size_t end = text_.find(c == '[' ? ']' : '#', at + 1);
      if (end == std::string_view::npos) {
        throw Unreadable{c == '[' ? "a [name] has no closing bracket"
                                  : "a #date# has no closing #"};
      }
      return end + 1;
    }
    if (c == '(') {
      // Counted rather than recursed, however deep the nesting.
      int level = 1;
      std::size_t i = at + 1;
      while (i < text_.size()) {
        char inner = text_[i];
        if (inner == '(') {
          ++level;
        } else if (inner == ')' && --level == 0) {
          return i + 1;
        }
        i = inner == '(' || inner == ')' ? i + 1 : Skip(i);
      }
      throw Unreadable{"a parenthesis is not closed"};
    }
    return at + 1;
  }

  // Whether the word `word` (words apart by single spaces: "ORDER BY")
  // stands at `at` as a whole word; its end in `end`.
  bool WordAt(std::size_t at, std::string_view word, std::size_t* end = nullptr) const {
    if (at > 0 && IsWordChar(text_[at - 1])) return false;
    std::size_t i = at;
    for (std::size_t w = 0; w < word.size(); ++w) {
      if (word[w] == ' ') {
        if (i >= text_.size() || std::isspace(static_cast<unsigned char>(text_[i])) == 0) {
          return false;
        }
        while (i < text_.size() && std::isspace(static_cast<unsigned char>(text_[i])) != 0) ++i;
        continue;
      }
      if (i >= text_.size() || std::toupper(static_cast<unsigned char>(text_[i])) !=
                                   std::toupper(static_cast<unsigned char>(word[w]))) {
        return false;
      }
      ++i;
    }
    if (i < text_.size() && IsWordChar(text_[i])) return false;
    if (end != nullptr) *end = i;
    return true;
  }

  // The first of `words` at this level from `from` to `to`: its position
  // and which one; npos for none.
  std::size_t Find(std::size_t from, std::size_t to, const std::vector<std::string_view>& words,
                   std::size_t* which = nullptr) const {
    for (std::size_t i = from; i < to;) {
      for (std::size_t w = 0; w < words.size(); ++w) {
        if (WordAt(i, words[w])) {
          if (which != nullptr) *which = w;
          return i;
        }
      }
      i = Skip(i);
    }
    return std::string_view::npos;
  }

  // The parts of [from, to) between the commas of this level.
  std::vector<std::string> Split(std::size_t from, std::size_t to) const {
    std::vector<std::string> parts;
    std::size_t start = from;
    for (std::size_t i = from; i < to;) {
      if (text_[i] == ',') {
        parts.push_back(Trim(text_.substr(start, i - start)));
        start = ++i;
        continue;
      }
      i = Skip(i);
    }
    parts.push_back(Trim(text_.substr(start, to - start)));
    return parts;
  }

 private:
  std::string_view text_;
};

// A name as written: [Order Lines] or Orders; the brackets go.
std::string Unbracket(std::string_view name) {
  std::string text = Trim(name);
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

bool IsPlainName(std::string_view text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    return text.find(']') == text.size() - 1;
  }
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsWordChar(c)) return false;
  }
  return true;
}

// "expression AS alias" or "expression": the alias after the last AS of
// this level.
std::pair<std::string, std::string> SplitAlias(const std::string& item) {
  Text text(item);
  std::size_t at = std::string_view::npos;
  for (std::size_t i = 0; i < text.size();) {
    if (text.WordAt(i, "AS")) at = i;
    i = text.Skip(i);
  }
  if (at == std::string_view::npos) return {Trim(item), ""};
  std::string alias = Trim(item.substr(at + 2));
  if (!IsPlainName(alias)) return {Trim(item), ""};
  return {Trim(item.substr(0, at)), Unbracket(alias)};
}

// ---- FROM ----

struct FromItem {
  // A source: its index among the query's sources; else a join.
  std::optional<std::size_t> source;
  source::JoinKind kind = source::JoinKind::Inner;
  std::unique_ptr<FromItem> left;
  std::unique_ptr<FromItem> right;
  std::string condition;

  void References(const source::QueryDefinition& query, std::vector<std::string>& out) const {
    if (source) {
      out.push_back(query.sources[*source].Reference());
    } else {
      left->References(query, out);
      right->References(query, out);
    }
  }
};

class FromReader {
 public:
  FromReader(std::string_view text, source::QueryDefinition& query) : text_(text), query_(query) {}

  void Read() {
    std::size_t at = 0;
    while (true) {
      std::unique_ptr<FromItem> item = Joined(at);
      Joins(*item);
      Space(at);
      if (at >= text_.size()) break;
      if (text_.view()[at] != ',') throw Unreadable{"its FROM clause cannot be read"};
      ++at;
    }
  }

 private:
  void Space(std::size_t& at) const {
    while (at < text_.size() && std::isspace(static_cast<unsigned char>(text_.view()[at])) != 0) {
      ++at;
    }
  }

  // A source or a join, up to a comma, a closing parenthesis or the end.
  std::unique_ptr<FromItem> Joined(std::size_t& at) {
    std::unique_ptr<FromItem> left = Primary(at);
    while (true) {
      Space(at);
      std::size_t end = 0;
      source::JoinKind kind;
      if (text_.WordAt(at, "INNER JOIN", &end)) {
        kind = source::JoinKind::Inner;
      } else if (text_.WordAt(at, "LEFT JOIN", &end) || text_.WordAt(at, "LEFT OUTER JOIN", &end)) {
        kind = source::JoinKind::Left;
      } else if (text_.WordAt(at, "RIGHT JOIN", &end) ||
                 text_.WordAt(at, "RIGHT OUTER JOIN", &end)) {
        kind = source::JoinKind::Right;
      } else {
        return left;
      }
      at = end;
      auto join = std::make_unique<FromItem>();
      join->kind = kind;
      join->left = std::move(left);
      join->right = Primary(at);
      Space(at);
      if (!text_.WordAt(at, "ON", &end)) throw Unreadable{"a join has no ON condition"};
      at = end;
      // The condition runs to the next join, comma or closing parenthesis
      // of this level.
      std::size_t stop = at;
      while (stop < text_.size()) {
        char c = text_.view()[stop];
        if (c == ',' || c == ')') break;
        if (text_.WordAt(stop, "INNER JOIN") || text_.WordAt(stop, "LEFT JOIN") ||
            text_.WordAt(stop, "LEFT OUTER JOIN") || text_.WordAt(stop, "RIGHT JOIN") ||
            text_.WordAt(stop, "RIGHT OUTER JOIN")) {
          break;
        }
        stop = text_.Skip(stop);
      }
      join->condition = Trim(text_.view().substr(at, stop - at));
      if (join->condition.empty()) throw Unreadable{"a join has an empty ON condition"};
      at = stop;
      left = std::move(join);
    }
  }

  std::unique_ptr<FromItem> Primary(std::size_t& at) {
    // Access nests joins far less deeply than this.
    if (++depth_ > kMaxNesting) throw Unreadable{"its joins are nested too deeply"};
    struct Leave {
      int& depth;
      ~Leave() { --depth; }
    } leave{depth_};
    Space(at);
    if (at >= text_.size()) throw Unreadable{"its FROM clause ends too early"};
    std::string_view view = text_.view();
    source::QuerySource source;
    if (view[at] == '(') {
      std::size_t inside = at + 1;
      Space(inside);
      if (!text_.WordAt(inside, "SELECT")) {
        ++at;
        std::unique_ptr<FromItem> item = Joined(at);
        Space(at);
        if (at >= text_.size() || view[at] != ')') throw Unreadable{"a parenthesis is not closed"};
        ++at;
        return item;
      }
      std::size_t end = text_.Skip(at);
      source.subquery = Trim(view.substr(at + 1, end - at - 2));
      at = end;
    } else {
      std::size_t start = at;
      // A name, [bracketed] or plain, perhaps with its database's prefix.
      bool prefixed = false;
      while (at < text_.size() && (view[at] == '[' || IsWordChar(view[at]) || view[at] == '.')) {
        prefixed = prefixed || view[at] == '.';
        at = view[at] == '[' ? text_.Skip(at) : at + 1;
      }
      if (at == start) throw Unreadable{"its FROM clause cannot be read"};
      source.name = Unbracket(view.substr(start, at - start));
      if (prefixed) {
        throw Unreadable{"it reads " + std::string(view.substr(start, at - start)) +
                         ", a table of another database"};
      }
    }
    // [AS] alias
    Space(at);
    std::size_t end = 0;
    if (text_.WordAt(at, "AS", &end)) {
      at = end;
      Space(at);
    }
    static const std::set<std::string> kStops = {"INNER", "LEFT", "RIGHT", "ON", "IN"};
    std::size_t start = at;
    while (at < text_.size() && (view[at] == '[' || IsWordChar(view[at]))) {
      at = view[at] == '[' ? text_.Skip(at) : at + 1;
    }
    std::string alias(view.substr(start, at - start));
    std::string upper;
    for (char c : alias) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (kStops.count(upper) != 0) {
      at = start;
      alias.clear();
    }
    source.alias = Unbracket(alias);
    if (source.name.empty() && source.alias.empty()) throw Unreadable{"a subquery has no name"};
    query_.sources.push_back(std::move(source));
    auto item = std::make_unique<FromItem>();
    item->source = query_.sources.size() - 1;
    return item;
  }

  // The joins of `item`, innermost first, each between a source of either
  // side that its condition names.
  void Joins(const FromItem& item) {
    if (item.source) return;
    Joins(*item.left);
    Joins(*item.right);
    std::vector<std::string> left;
    std::vector<std::string> right;
    item.left->References(query_, left);
    item.right->References(query_, right);
    std::string leftName = left.front();
    std::string rightName = right.front();
    try {
      std::vector<expression::Token> tokens = expression::Tokenize(item.condition);
      for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const expression::Token& token = tokens[i];
        bool name = token.type == expression::TokenType::Name ||
                    token.type == expression::TokenType::BracketName;
        bool qualified = tokens[i + 1].type == expression::TokenType::Symbol &&
                         (tokens[i + 1].text == "." || tokens[i + 1].text == "!");
        if (!name || !qualified) continue;
        for (const std::string& reference : left) {
          if (NameEqual(reference, token.text)) leftName = reference;
        }
        for (const std::string& reference : right) {
          if (NameEqual(reference, token.text)) rightName = reference;
        }
      }
    } catch (const expression::SyntaxError&) {
      // The translation of the condition says what is wrong with it.
    }
    query_.joins.push_back({item.kind, leftName, rightName, item.condition});
  }

  static constexpr int kMaxNesting = 64;
  Text text_;
  source::QueryDefinition& query_;
  int depth_ = 0;
};

// ---- The statement ----

void ReadParameters(std::string_view text, source::QueryDefinition& query) {
  Text clause(text);
  for (const std::string& item : clause.Split(0, clause.size())) {
    if (item.empty()) continue;
    // The type is the last word, with a width in parentheses after Text.
    std::size_t typeEnd = item.size();
    std::size_t open = item.rfind('(');
    if (open != std::string::npos && item.back() == ')' &&
        item.find(']', open) == std::string::npos) {
      typeEnd = open;
    }
    std::string head = Trim(item.substr(0, typeEnd));
    std::size_t space = head.find_last_of(" \t\r\n");
    if (space == std::string::npos) throw Unreadable{"its parameter " + item + " has no type"};
    source::QueryParameter parameter;
    parameter.name = Unbracket(head.substr(0, space));
    parameter.type = Trim(head.substr(space + 1));
    if (typeEnd != item.size()) {
      std::string width = Trim(item.substr(open + 1, item.size() - open - 2));
      parameter.type += "(" + width + ")";
    }
    query.parameters.push_back(std::move(parameter));
  }
}

void ReadStatement(std::string_view whole, source::QueryDefinition& query) {
  std::string statement = Trim(whole);
  while (!statement.empty() && statement.back() == ';')
    statement = Trim(statement.substr(0, statement.size() - 1));
  Text text(statement);
  std::size_t at = 0;
  std::size_t end = 0;
  if (text.WordAt(0, "PARAMETERS", &end)) {
    std::size_t semicolon = end;
    while (semicolon < text.size() && statement[semicolon] != ';') semicolon = text.Skip(semicolon);
    if (semicolon >= text.size()) throw Unreadable{"its PARAMETERS clause has no closing ;"};
    ReadParameters(std::string_view(statement).substr(end, semicolon - end), query);
    at = semicolon + 1;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(statement[at])) != 0) ++at;
  }
  if (text.WordAt(at, "TABLE", &end)) {
    source::QuerySource source;
    source.name = Unbracket(statement.substr(end));
    query.sources.push_back(std::move(source));
    query.allColumns = true;
    return;
  }
  if (!text.WordAt(at, "SELECT", &end)) throw Unreadable{"it does not begin with SELECT"};
  at = end;
  auto space = [&] {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(statement[at])) != 0) ++at;
  };
  space();
  if (text.WordAt(at, "DISTINCTROW", &end)) {
    query.distinctRow = true;
    at = end;
  } else if (text.WordAt(at, "DISTINCT", &end)) {
    query.distinct = true;
    at = end;
  } else if (text.WordAt(at, "ALL", &end)) {
    at = end;
  }
  space();
  if (text.WordAt(at, "TOP", &end)) {
    at = end;
    space();
    std::size_t start = at;
    while (at < text.size() && (IsWordChar(statement[at]) || statement[at] == '.')) ++at;
    query.top = statement.substr(start, at - start);
    if (query.top.empty()) throw Unreadable{"its TOP names no count"};
    space();
    if (text.WordAt(at, "PERCENT", &end)) {
      query.topPercent = true;
      at = end;
    }
  }
  std::size_t ownerAccess = text.Find(at, text.size(), {"WITH OWNERACCESS OPTION"});
  std::size_t stop = text.size();
  if (ownerAccess != std::string_view::npos) {
    query.ownerAccess = true;
    stop = ownerAccess;
  }
  // The clauses in their order, each ending where the next begins.
  static const std::vector<std::string_view> kClauses = {"FROM",   "WHERE",    "GROUP BY",
                                                         "HAVING", "ORDER BY", "UNION"};
  std::vector<std::pair<std::size_t, std::size_t>> found;  // (position, which)
  for (std::size_t i = at; i < stop;) {
    std::size_t which = 0;
    std::size_t position = text.Find(i, stop, kClauses, &which);
    if (position == std::string_view::npos) break;
    if (which == 5) throw Unreadable{"it holds a UNION where a single SELECT is expected"};
    if (!found.empty() && which <= found.back().second) {
      throw Unreadable{"its clauses are not in the order Access writes them"};
    }
    found.emplace_back(position, which);
    i = position + kClauses[which].size();
  }
  auto clauseText = [&](std::size_t index) {
    std::size_t begin = found[index].first;
    text.WordAt(begin, kClauses[found[index].second], &begin);
    std::size_t finish = index + 1 < found.size() ? found[index + 1].first : stop;
    return std::make_pair(begin, finish);
  };
  std::size_t listEnd = found.empty() ? stop : found.front().first;
  for (const std::string& item : text.Split(at, listEnd)) {
    if (item.empty()) throw Unreadable{"its list of columns has an empty item"};
    if (item == "*") {
      query.allColumns = true;
      continue;
    }
    auto [expression, alias] = SplitAlias(item);
    source::QueryColumn column;
    column.expression = expression;
    column.alias = alias;
    query.columns.push_back(std::move(column));
  }
  for (std::size_t i = 0; i < found.size(); ++i) {
    auto [begin, finish] = clauseText(i);
    std::string_view body = std::string_view(statement).substr(begin, finish - begin);
    switch (found[i].second) {
      case 0: {
        std::string from = Trim(body);
        Text fromText(from);
        // FROM ... IN 'path': the tables of another database.
        std::size_t in = std::string_view::npos;
        for (std::size_t k = fromText.Find(0, from.size(), {"IN"}); k != std::string_view::npos;
             k = fromText.Find(k + 2, from.size(), {"IN"})) {
          std::size_t next = from.find_first_not_of(" \t\r\n", k + 2);
          if (next != std::string::npos && (from[next] == '\'' || from[next] == '"')) {
            in = k;
            break;
          }
        }
        if (in != std::string_view::npos) {
          query.sourceDatabase = Trim(from.substr(in + 2));
          from = Trim(from.substr(0, in));
        }
        FromReader(from, query).Read();
        break;
      }
      case 1:
        query.where = Trim(body);
        break;
      case 2:
        for (const std::string& item : text.Split(begin, finish)) {
          source::QueryColumn group;
          group.expression = item;
          query.groupBy.push_back(std::move(group));
        }
        break;
      case 3:
        query.having = Trim(body);
        break;
      case 4:
        for (const std::string& item : text.Split(begin, finish)) {
          source::QueryOrder order;
          std::size_t last = item.find_last_of(" \t\r\n");
          std::string word = last == std::string::npos ? "" : item.substr(last + 1);
          if (last != std::string::npos && (NameEqual(word, "DESC") || NameEqual(word, "ASC"))) {
            order.descending = NameEqual(word, "DESC");
            order.expression = Trim(item.substr(0, last));
          } else {
            order.expression = item;
          }
          query.orderBy.push_back(std::move(order));
        }
        break;
      default:
        break;
    }
  }
  if (query.columns.empty() && !query.allColumns) throw Unreadable{"it selects no column"};
}

}  // namespace

std::vector<UnionPart> SplitUnion(std::string_view whole) {
  std::vector<UnionPart> parts;
  Text text(whole);
  UnionPart part;
  std::size_t start = 0;
  try {
    for (std::size_t i = 0; i < text.size();) {
      std::size_t end = 0;
      if (text.WordAt(i, "UNION", &end)) {
        part.text = Trim(whole.substr(start, i - start));
        parts.push_back(part);
        part = UnionPart{};
        std::size_t after = 0;
        std::size_t next = end;
        while (next < text.size() && std::isspace(static_cast<unsigned char>(whole[next])) != 0) {
          ++next;
        }
        if (text.WordAt(next, "ALL", &after)) {
          part.all = true;
          end = after;
        }
        start = i = end;
        continue;
      }
      i = text.Skip(i);
    }
  } catch (const Unreadable&) {
    // Read as one part: reading it as a statement says what is wrong.
    return {UnionPart{std::string(whole), false}};
  }
  part.text = Trim(whole.substr(start));
  parts.push_back(part);
  return parts;
}

bool ParseSelectText(std::string_view text, source::QueryDefinition& query, std::string& why) {
  query = source::QueryDefinition{};
  try {
    ReadStatement(text, query);
  } catch (const Unreadable& error) {
    why = error.why;
    return false;
  }
  return true;
}

}  // namespace bracken::engine
