#include "expression/parser.h"

#include <algorithm>
#include <cctype>

namespace bracken::expression {
namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

NodePtr Make(Node::Kind kind) {
  auto node = std::make_unique<Node>();
  node->kind = kind;
  return node;
}

// Deeper nesting than this is refused rather than risking the stack, here
// and in every walk of the tree.
constexpr int kMaxDepth = 200;

// `node` with its depth set from its children's; a tree too deep is refused.
NodePtr Finish(NodePtr node) {
  for (const NodePtr& child : node->children) {
    node->depth = std::max(node->depth, child->depth + 1);
  }
  if (node->depth > kMaxDepth) throw SyntaxError("the expression is nested too deeply");
  return node;
}

NodePtr MakeBinary(std::string op, NodePtr left, NodePtr right) {
  NodePtr node = Make(Node::Kind::Binary);
  node->text = std::move(op);
  node->children.push_back(std::move(left));
  node->children.push_back(std::move(right));
  return Finish(std::move(node));
}

class Parser {
 public:
  Parser(std::string_view text, std::vector<Token> tokens, const ParseOptions& options)
      : text_(text), tokens_(std::move(tokens)), options_(options) {}

  NodePtr Whole() {
    if (!options_.columnMayBeOmitted && IsSymbol("=")) ++at_;
    NodePtr node = Expression();
    if (Peek().type != TokenType::End) Fail("unexpected " + Describe(Peek()));
    return node;
  }

 private:
  const Token& Peek(std::size_t ahead = 0) const {
    return tokens_[std::min(at_ + ahead, tokens_.size() - 1)];
  }
  bool IsSymbol(std::string_view symbol, std::size_t ahead = 0) const {
    return Peek(ahead).type == TokenType::Symbol && Peek(ahead).text == symbol;
  }
  bool IsWord(std::string_view word, std::size_t ahead = 0) const {
    return Peek(ahead).type == TokenType::Name && Upper(Peek(ahead).text) == word;
  }
  bool TakeWord(std::string_view word) {
    if (!IsWord(word)) return false;
    ++at_;
    return true;
  }
  void Expect(std::string_view symbol) {
    if (!IsSymbol(symbol)) Fail("expected " + std::string(symbol) + ", found " + Describe(Peek()));
    ++at_;
  }
  static std::string Describe(const Token& token) {
    if (token.type == TokenType::End) return "the end of the expression";
    if (token.type == TokenType::Text) return "\"" + token.text + "\"";
    if (token.type == TokenType::BracketName) return "[" + token.text + "]";
    return "'" + token.text + "'";
  }
  [[noreturn]] void Fail(const std::string& what) const {
    throw SyntaxError(what + " at position " + std::to_string(Peek().position + 1));
  }

  struct DepthGuard {
    explicit DepthGuard(Parser& parser) : parser(parser) {
      if (++parser.depth_ > kMaxDepth) parser.Fail("the expression is nested too deeply");
    }
    ~DepthGuard() { --parser.depth_; }
    Parser& parser;
  };

  NodePtr Expression() {
    DepthGuard guard(*this);
    return Imp();
  }

  // Imp, Eqv, Xor, Or, And: left to right, each binding tighter than the one before.
  NodePtr Imp() { return Logical(0); }
  NodePtr Logical(int level) {
    static constexpr std::string_view kLevels[] = {"IMP", "EQV", "XOR", "OR", "AND"};
    if (level == 5) return NotLevel();
    NodePtr left = Logical(level + 1);
    while (IsWord(kLevels[level])) {
      ++at_;
      left = MakeBinary(std::string(kLevels[level]), std::move(left), Logical(level + 1));
    }
    return left;
  }

  NodePtr NotLevel() {
    // "Not Like ..." in a rule is its column's "Not Like", not a negation.
    if (IsWord("NOT") && !(options_.columnMayBeOmitted && StartsComparison(1))) {
      DepthGuard guard(*this);
      ++at_;
      NodePtr node = Make(Node::Kind::Not);
      node->children.push_back(NotLevel());
      return Finish(std::move(node));
    }
    return Comparison();
  }

  bool StartsComparison(std::size_t ahead) const {
    static constexpr std::string_view kSymbols[] = {"=", "<>", "<", ">", "<=", ">="};
    for (std::string_view s : kSymbols) {
      if (IsSymbol(s, ahead)) return true;
    }
    if (IsWord("LIKE", ahead) || IsWord("IS", ahead) || IsWord("BETWEEN", ahead) ||
        IsWord("IN", ahead)) {
      return true;
    }
    return IsWord("NOT", ahead) &&
           (IsWord("LIKE", ahead + 1) || IsWord("BETWEEN", ahead + 1) || IsWord("IN", ahead + 1));
  }

  NodePtr Comparison() {
    NodePtr left;
    if (options_.columnMayBeOmitted && StartsComparison(0)) {
      left = Make(Node::Kind::ImplicitColumn);
    } else {
      left = Concatenation();
    }
    while (true) {
      const Token& token = Peek();
      if (token.type == TokenType::Symbol &&
          (token.text == "=" || token.text == "<>" || token.text == "<" || token.text == ">" ||
           token.text == "<=" || token.text == ">=")) {
        std::string op = token.text;
        ++at_;
        left = MakeBinary(op, std::move(left), Concatenation());
        continue;
      }
      bool negated = false;
      if (IsWord("NOT") && (IsWord("LIKE", 1) || IsWord("BETWEEN", 1) || IsWord("IN", 1))) {
        negated = true;
        ++at_;
      }
      if (TakeWord("LIKE")) {
        NodePtr node = Make(Node::Kind::Like);
        node->negated = negated;
        node->children.push_back(std::move(left));
        node->children.push_back(Concatenation());
        left = Finish(std::move(node));
      } else if (TakeWord("BETWEEN")) {
        NodePtr node = Make(Node::Kind::Between);
        node->negated = negated;
        node->children.push_back(std::move(left));
        node->children.push_back(Concatenation());
        if (!TakeWord("AND")) Fail("Between needs And, found " + Describe(Peek()));
        node->children.push_back(Concatenation());
        left = Finish(std::move(node));
      } else if (TakeWord("IN")) {
        NodePtr node = Make(Node::Kind::In);
        node->negated = negated;
        node->children.push_back(std::move(left));
        if (StartsSubquery()) {
          node->children.push_back(Subquery());
        } else {
          Expect("(");
          do {
            node->children.push_back(Expression());
          } while (IsSymbol(",") && (++at_, true));
          Expect(")");
        }
        left = Finish(std::move(node));
      } else if (TakeWord("IS")) {
        NodePtr node = Make(Node::Kind::IsNull);
        node->negated = TakeWord("NOT");
        if (!TakeWord("NULL")) Fail("Is must be followed by Null or Not Null");
        node->children.push_back(std::move(left));
        left = Finish(std::move(node));
      } else {
        return left;
      }
    }
  }

  NodePtr Concatenation() { return BinaryLevel(0); }

  // &, + -, Mod, \, * /: left to right.
  NodePtr BinaryLevel(int level) {
    if (level == 5) return Unary();
    NodePtr left = BinaryLevel(level + 1);
    while (true) {
      std::string op;
      const Token& token = Peek();
      if (level == 0 && IsSymbol("&")) op = "&";
      if (level == 1 && (IsSymbol("+") || IsSymbol("-"))) op = token.text;
      if (level == 2 && IsWord("MOD")) op = "MOD";
      if (level == 3 && IsSymbol("\\")) op = "\\";
      if (level == 4 && (IsSymbol("*") || IsSymbol("/"))) op = token.text;
      if (op.empty()) return left;
      ++at_;
      left = MakeBinary(op, std::move(left), BinaryLevel(level + 1));
    }
  }

  NodePtr Unary() {
    if (IsSymbol("-") || IsSymbol("+")) {
      DepthGuard guard(*this);
      bool minus = IsSymbol("-");
      ++at_;
      NodePtr operand = Unary();
      if (!minus) return operand;
      NodePtr node = Make(Node::Kind::Negate);
      node->children.push_back(std::move(operand));
      return Finish(std::move(node));
    }
    return Power();
  }

  NodePtr Power() {
    NodePtr left = Primary();
    while (IsSymbol("^")) {
      ++at_;
      // The exponent may carry its own sign: 2^-1.
      NodePtr right;
      if (IsSymbol("-") || IsSymbol("+")) {
        DepthGuard guard(*this);
        bool minus = IsSymbol("-");
        ++at_;
        right = Primary();
        if (minus) {
          NodePtr negate = Make(Node::Kind::Negate);
          negate->children.push_back(std::move(right));
          right = Finish(std::move(negate));
        }
      } else {
        right = Primary();
      }
      left = MakeBinary("^", std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr Primary() {
    DepthGuard guard(*this);
    const Token& token = Peek();
    switch (token.type) {
      case TokenType::Number: {
        NodePtr node = Make(Node::Kind::Number);
        node->text = token.text;
        ++at_;
        return node;
      }
      case TokenType::Text: {
        NodePtr node = Make(Node::Kind::Text);
        node->text = token.text;
        ++at_;
        return node;
      }
      case TokenType::Date: {
        NodePtr node = Make(Node::Kind::Date);
        node->date = token.date;
        node->text = token.text;
        ++at_;
        return node;
      }
      case TokenType::Symbol:
        if (StartsSubquery()) return Subquery();
        if (token.text == "(") {
          ++at_;
          NodePtr inner = Expression();
          Expect(")");
          return inner;
        }
        Fail("unexpected " + Describe(token));
      case TokenType::End:
        Fail("the expression ends too early");
      case TokenType::Name:
      case TokenType::BracketName:
        return NameOrCall();
    }
    Fail("unexpected " + Describe(token));
  }

  NodePtr NameOrCall() {
    const Token& first = Peek();
    if (first.type == TokenType::Name) {
      std::string word = Upper(first.text);
      if (word == "TRUE" || word == "YES" || word == "ON" || word == "FALSE" || word == "NO" ||
          word == "OFF") {
        NodePtr node = Make(Node::Kind::Boolean);
        node->truth = word == "TRUE" || word == "YES" || word == "ON";
        node->text = first.text;
        ++at_;
        return node;
      }
      if (word == "NULL") {
        ++at_;
        return Make(Node::Kind::Null);
      }
      static constexpr std::string_view kReserved[] = {
          "AND", "OR", "NOT", "XOR", "EQV", "IMP", "MOD", "LIKE", "IS", "BETWEEN", "IN"};
      if (std::find(std::begin(kReserved), std::end(kReserved), word) != std::end(kReserved)) {
        Fail("unexpected " + Describe(first));
      }
      if (word == "EXISTS" && StartsSubquery(1)) {
        ++at_;
        NodePtr node = Make(Node::Kind::Exists);
        node->children.push_back(Subquery());
        return Finish(std::move(node));
      }
      if (IsSymbol("(", 1)) {
        NodePtr call = Make(Node::Kind::Call);
        call->text = first.text;
        at_ += 2;
        if (IsSymbol("*") && IsSymbol(")", 1)) {
          // Count(*): the rows, not a value.
          call->children.push_back(Make(Node::Kind::Star));
          ++at_;
        } else if (!IsSymbol(")")) {
          do {
            call->children.push_back(Expression());
          } while (IsSymbol(",") && (++at_, true));
        }
        Expect(")");
        return Finish(std::move(call));
      }
    }
    NodePtr node = Make(Node::Kind::Name);
    node->parts.push_back(first.text);
    ++at_;
    bool bang = false;
    while (IsSymbol(".") || IsSymbol("!")) {
      bang = bang || IsSymbol("!");
      ++at_;
      const Token& part = Peek();
      if (part.type != TokenType::Name && part.type != TokenType::BracketName) {
        Fail("expected a name after . or !, found " + Describe(part));
      }
      node->parts.push_back(part.text);
      ++at_;
    }
    if (bang) node->kind = Node::Kind::Bang;
    return node;
  }

  bool StartsSubquery(std::size_t ahead = 0) const {
    return IsSymbol("(", ahead) && IsWord("SELECT", ahead + 1);
  }

  // "(SELECT ...)": the statement's text is kept as written, for the
  // translation of subqueries to read as a statement of its own.
  NodePtr Subquery() {
    const std::size_t open = at_;
    int level = 0;
    for (; at_ < tokens_.size() && Peek().type != TokenType::End; ++at_) {
      if (IsSymbol("(")) ++level;
      if (IsSymbol(")") && --level == 0) break;
    }
    if (level != 0) Fail("a subquery has no closing parenthesis");
    NodePtr node = Make(Node::Kind::Subquery);
    const std::size_t begin = tokens_[open].position + 1;
    node->text = std::string(text_.substr(begin, Peek().position - begin));
    ++at_;
    return node;
  }

  std::string_view text_;
  std::vector<Token> tokens_;
  ParseOptions options_;
  std::size_t at_ = 0;
  int depth_ = 0;
};

}  // namespace

NodePtr Parse(std::string_view text, const ParseOptions& options) {
  Parser parser(text, Tokenize(text), options);
  return parser.Whole();
}

}  // namespace bracken::expression
