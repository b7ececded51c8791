#include "engine/views/select_translation.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "engine/schema/identifier.h"
#include "engine/schema/name_spelling.h"
#include "engine/views/select_text_parser.h"
#include "expression/parser.h"
#include "source/access_data.h"

namespace bracken::engine {

using expression::ColumnRef;
using expression::Refused;
using expression::ValueKind;
using source::NameEqual;

namespace {

// "[Orders].[Total]", as messages name a name.
std::string NameText(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "[" : ".[") + part + "]";
  return out;
}

// A parameter's MySQL name: "p_" and the Access name with every character
// that is not a plain letter, digit or "_" made "_", so that the body may
// name it unquoted (a quoted name would be read as a column).
std::string ParameterName(std::string_view accessName) {
  std::string out = "p_";
  for (char c : accessName) {
    const auto u = static_cast<unsigned char>(c);
    bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9');
    out += plain ? c : '_';
  }
  if (out.size() > kMaxIdentifierCharacters) out.resize(kMaxIdentifierCharacters);
  return out;
}

}  // namespace

// ---- Parameters ----

std::optional<ParameterType> MapParameterType(std::string_view accessType) {
  struct Known {
    std::string_view access;
    ParameterType type;
  };
  // Text is kept without its width; 255 characters is the most Access's
  // Text holds. Decimal keeps Access's 28 digits on either side of the point.
  static const Known kTypes[] = {
      {"Bit", {"BOOLEAN", ValueKind::Boolean, false}},
      {"Byte", {"TINYINT UNSIGNED", ValueKind::Number, true}},
      {"Short", {"SMALLINT", ValueKind::Number, true}},
      {"Long", {"INT", ValueKind::Number, true}},
      {"Currency", {"DECIMAL(19,4)", ValueKind::Number, false}},
      {"IEEESingle", {"FLOAT", ValueKind::Number, false}},
      {"IEEEDouble", {"DOUBLE", ValueKind::Number, false}},
      {"DateTime", {"DATETIME", ValueKind::Date, false}},
      {"Text", {"VARCHAR(255)", ValueKind::Text, false}},
      {"Memo", {"LONGTEXT", ValueKind::Text, false}},
      {"Binary", {"VARBINARY(510)", ValueKind::Unknown, false}},
      {"LongBinary", {"LONGBLOB", ValueKind::Unknown, false}},
      {"Guid", {"CHAR(38)", ValueKind::Text, false}},
      {"Decimal", {"DECIMAL(56,28)", ValueKind::Number, false}},
      {"Value", {"VARCHAR(255)", ValueKind::Text, false}},
  };
  // Text(n), as a PARAMETERS clause may write it.
  std::size_t open = accessType.find('(');
  if (open != std::string_view::npos && NameEqual(accessType.substr(0, open), "Text") &&
      accessType.back() == ')') {
    std::string_view digits = accessType.substr(open + 1, accessType.size() - open - 2);
    bool whole =
        !digits.empty() && digits.size() <= 3 &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!whole || std::stoi(std::string(digits)) < 1 || std::stoi(std::string(digits)) > 255) {
      return std::nullopt;
    }
    return ParameterType{"VARCHAR(" + std::string(digits) + ")", ValueKind::Text, false};
  }
  for (const Known& known : kTypes) {
    if (NameEqual(known.access, accessType)) return known.type;
  }
  return std::nullopt;
}

QueryParameters::QueryParameters(const std::vector<source::QueryParameter>& declared,
                                 const QueryCatalog* columnsOf) {
  if (columnsOf != nullptr) {
    for (const ReadableObject& object : columnsOf->objects) {
      for (const ColumnRef& column : object.columns) {
        std::string name = column.sql;
        if (name.size() >= 2 && name.front() == '`' && name.back() == '`') {
          name = name.substr(1, name.size() - 2);
        }
        columnKeys_.push_back(ColumnNameKey(name));
      }
    }
  }
  for (const source::QueryParameter& parameter : declared) {
    if (!MapParameterType(parameter.type)) {
      reason_ = "its parameter " + parameter.name + " has the type " + parameter.type +
                ", which Bracken cannot give a procedure";
      continue;
    }
    Add(parameter.name, parameter.type);
  }
}

ColumnRef QueryParameters::Add(const std::string& accessName, const std::string& accessType) {
  ParameterType type = *MapParameterType(accessType);
  std::string name = ParameterName(accessName);
  auto taken = [&](const std::string& candidate) {
    const std::string key = ColumnNameKey(candidate);
    return std::find(columnKeys_.begin(), columnKeys_.end(), key) != columnKeys_.end() ||
           std::any_of(entries_.begin(), entries_.end(), [&](const Entry& entry) {
             return ColumnNameKey(entry.parameter.name) == key;
           });
  };
  std::string unique = name;
  for (int n = 2; taken(unique); ++n) {
    std::string suffix = "_" + std::to_string(n);
    unique = name.substr(0, kMaxIdentifierCharacters - suffix.size()) + suffix;
  }
  Entry entry;
  entry.parameter = {accessName, unique, type.sql};
  entry.column = {accessName, unique, type.kind, type.wholeNumber};
  entries_.push_back(entry);
  list_.push_back(entry.parameter);
  return entry.column;
}

ColumnRef QueryParameters::Resolve(const std::vector<std::string>& parts) {
  // A declared parameter's name is the whole reference as written:
  // "Forms!Orders!Total" or "Start date".
  std::string joined;
  std::string dotted;
  for (const std::string& part : parts) {
    joined += (joined.empty() ? "" : "!") + part;
    dotted += (dotted.empty() ? "" : ".") + part;
  }
  for (Entry& entry : entries_) {
    std::string declared = entry.parameter.accessName;
    // PARAMETERS [Forms]![F]![C] Long keeps its brackets in the name.
    declared.erase(std::remove(declared.begin(), declared.end(), '['), declared.end());
    declared.erase(std::remove(declared.begin(), declared.end(), ']'), declared.end());
    if (NameEqual(declared, joined) || NameEqual(declared, dotted)) {
      if (entry.column.undeclaredParameter) ++entry.uses;
      return entry.column;
    }
  }
  Add(parts.size() == 1 ? parts[0] : joined, "Text");
  Entry& added = entries_.back();
  added.column.undeclaredParameter = true;
  added.uses = 1;
  return added.column;
}

void QueryParameters::ComparedWithDate(const std::string& sql) {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    Entry& entry = entries_[i];
    if (!entry.column.undeclaredParameter || entry.column.sql != sql) continue;
    ++entry.dateUses;
    entry.column.kind = ValueKind::Date;
    entry.parameter.type = list_[i].type = "DATETIME";
  }
}

std::string QueryParameters::reason() const {
  if (!reason_.empty()) return reason_;
  for (const Entry& entry : entries_) {
    if (entry.dateUses > 0 && entry.dateUses < entry.uses) {
      return "it compares its parameter " + entry.parameter.accessName +
             " with a date and uses it otherwise too, where Access reads the text typed by the "
             "computer's regional settings";
    }
  }
  return "";
}

// ---- The sources of a query ----

namespace {

// A join of two parts of the FROM clause, or one source.
struct FromNode {
  std::size_t source = 0;
  bool leaf = true;
  source::JoinKind kind = source::JoinKind::Inner;
  std::unique_ptr<FromNode> left;
  std::unique_ptr<FromNode> right;
  std::vector<std::string> conditions;
};

}  // namespace

struct QueryScope::Data {
  struct Source {
    std::string reference;
    std::string quoted;  // the name the statement knows it by
    std::string table;   // what the FROM clause reads: a table or view, or a derived table
    std::vector<ColumnRef> columns;
  };

  const source::QueryDefinition& query;
  const QueryCatalog& known;
  expression::ServerDialect server;
  QueryParameters& parameters;
  const QueryScope* outer;
  std::vector<Source> sources;
  std::string reason;
  std::string from;
  // The FROM clause's parts, each a source or a join of two parts.
  std::vector<std::unique_ptr<FromNode>> joined;
  mutable std::vector<bool> read;
  std::vector<ColumnRef> aliases;
  expression::Context context;

  Data(const source::QueryDefinition& q, const QueryCatalog& k, const expression::ServerDialect& s,
       QueryParameters& p, const QueryScope* o)
      : query(q), known(k), server(s), parameters(p), outer(o) {}

  // The column `parts` names among this query's own sources.
  std::optional<ColumnRef> Column(const std::vector<std::string>& parts) const {
    if (parts.size() == 2) {
      for (std::size_t i = 0; i < sources.size(); ++i) {
        if (!NameEqual(sources[i].reference, parts[0])) continue;
        for (const ColumnRef& column : sources[i].columns) {
          if (NameEqual(column.accessName, parts[1])) {
            read[i] = true;
            ColumnRef out = column;
            out.sql = sources[i].quoted + "." + column.sql;
            return out;
          }
        }
      }
      return std::nullopt;
    }
    if (parts.size() != 1) return std::nullopt;
    std::optional<ColumnRef> found;
    std::size_t at = 0;
    for (std::size_t i = 0; i < sources.size(); ++i) {
      for (const ColumnRef& column : sources[i].columns) {
        if (!NameEqual(column.accessName, parts[0])) continue;
        if (found) {
          throw Refused(NameText(parts) + " could be a column of " + sources[at].reference +
                        " or of " + sources[i].reference);
        }
        found = column;
        found->sql = sources[i].quoted + "." + column.sql;
        at = i;
      }
    }
    if (found) read[at] = true;
    return found;
  }

  std::optional<ColumnRef> Alias(const std::vector<std::string>& parts) const {
    if (parts.size() != 1) return std::nullopt;
    for (const ColumnRef& alias : aliases) {
      if (NameEqual(alias.accessName, parts[0])) return alias;
    }
    return std::nullopt;
  }

  std::optional<ColumnRef> Resolve(const std::vector<std::string>& parts) const {
    for (const Data* scope = this; scope != nullptr;
         scope = scope->outer == nullptr ? nullptr : scope->outer->data_) {
      if (std::optional<ColumnRef> column = scope->Column(parts)) return column;
      if (std::optional<ColumnRef> column = scope->Alias(parts)) return column;
    }
    return parameters.Resolve(parts);
  }

  void ReadSources();
  void Join();
};

void QueryScope::Data::ReadSources() {
  if (!query.sourceDatabase.empty() || !query.sourceConnect.empty()) {
    reason = "it reads the tables of another database (" +
             (query.sourceDatabase.empty() ? query.sourceConnect : query.sourceDatabase) + ")";
    return;
  }
  NameRegistry references(true);
  for (const source::QuerySource& item : query.sources) {
    Source entry;
    entry.reference = item.Reference();
    entry.quoted = QuoteIdentifier(references.Claim(entry.reference, "t"));
    if (!item.name.empty()) {
      const ReadableObject* object = known.Find(item.name);
      if (object == nullptr) {
        reason = "it reads " + item.name + ", which is not a table or query of the conversion";
        return;
      }
      entry.columns = object->columns;
      entry.table = QuoteIdentifier(object->targetName) + " AS " + entry.quoted;
      sources.push_back(std::move(entry));
      continue;
    }
    // A subquery in the FROM clause: a derived table.
    source::QueryDefinition inner;
    std::string why;
    if (!ParseSelectText(item.subquery, inner, why)) {
      reason = "its subquery " + entry.reference + " cannot be read: " + why;
      return;
    }
    SelectTranslation translated = TranslateSelect(inner, known, server, parameters, outer);
    if (!translated.ok()) {
      reason = translated.reason;
      return;
    }
    entry.columns = translated.columns;
    entry.table = "(" + translated.sql + ") AS " + entry.quoted;
    sources.push_back(std::move(entry));
  }
  read.assign(sources.size(), false);
}

namespace {

// The FROM clause's text of `node`.
std::string JoinText(const QueryScope::Data& data, const FromNode& node) {
  if (node.leaf) return data.sources[node.source].table;
  static constexpr std::string_view kKinds[] = {" INNER JOIN ", " LEFT JOIN ", " RIGHT JOIN "};
  std::string out = "(" + JoinText(data, *node.left) +
                    std::string(kKinds[static_cast<int>(node.kind)]) + JoinText(data, *node.right) +
                    " ON ";
  for (std::size_t i = 0; i < node.conditions.size(); ++i) {
    out += (i > 0 ? " AND " : "") + node.conditions[i];
  }
  return out + ")";
}

}  // namespace

void QueryScope::Data::Join() {
  if (!reason.empty()) return;
  std::vector<std::unique_ptr<FromNode>> parts;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    auto node = std::make_unique<FromNode>();
    node->source = i;
    parts.push_back(std::move(node));
  }
  std::function<bool(const FromNode&, const std::string&)> holds = [&](const FromNode& node,
                                                                       const std::string& ref) {
    if (node.leaf) return NameEqual(sources[node.source].reference, ref);
    return holds(*node.left, ref) || holds(*node.right, ref);
  };
  auto find = [&](const std::string& reference) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (holds(*parts[i], reference)) return i;
    }
    return parts.size();
  };
  for (const source::QueryJoin& join : query.joins) {
    expression::Translation condition = expression::Translate(join.condition, context);
    if (!condition.ok()) {
      reason = "the join condition " + join.condition + " is not translatable: " + condition.reason;
      return;
    }
    std::size_t left = find(join.left);
    std::size_t right = find(join.right);
    if (left == parts.size() || right == parts.size()) {
      reason = "a join names " + (left == parts.size() ? join.left : join.right) +
               ", which the query does not read";
      return;
    }
    if (left == right) {
      // A further condition between two sources already joined: it belongs
      // to the join that first brought them together.
      FromNode* node = parts[left].get();
      while (!node->leaf) {
        if (holds(*node->left, join.left) && holds(*node->left, join.right)) {
          node = node->left.get();
        } else if (holds(*node->right, join.left) && holds(*node->right, join.right)) {
          node = node->right.get();
        } else {
          break;
        }
      }
      if (node->leaf) {
        reason = "a join joins " + join.left + " with itself";
        return;
      }
      node->conditions.push_back(condition.sql);
      continue;
    }
    auto node = std::make_unique<FromNode>();
    node->leaf = false;
    node->kind = join.kind;
    node->left = std::move(parts[left]);
    node->right = std::move(parts[right]);
    node->conditions.push_back(condition.sql);
    parts[std::min(left, right)] = std::move(node);
    parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(std::max(left, right)));
  }
  from.clear();
  for (const auto& part : parts) from += (from.empty() ? "" : ", ") + JoinText(*this, *part);
  joined = std::move(parts);
  // The conditions read their sources; that is no reading of the rows shown.
  read.assign(sources.size(), false);
}

QueryScope::Split QueryScope::SplitFrom(const std::vector<std::string>& shown) const {
  const Data& data = *data_;
  Split out;
  auto isShown = [&](std::size_t source) {
    for (const std::string& reference : shown) {
      if (NameEqual(data.sources[source].reference, reference)) return true;
    }
    return false;
  };
  std::function<std::string(const FromNode&)> hiddenIn = [&](const FromNode& node) {
    if (node.leaf)
      return isShown(node.source) ? std::string() : data.sources[node.source].reference;
    std::string left = hiddenIn(*node.left);
    return left.empty() ? hiddenIn(*node.right) : left;
  };
  // Inner joins are their sources' rows that meet the conditions, however
  // nested: their conditions can move into the EXISTS. An outer join is
  // kept whole, among the tables shown, where it holds no other table.
  std::function<void(const FromNode&)> visit = [&](const FromNode& node) {
    if (!out.reason.empty()) return;
    if (node.leaf) {
      (isShown(node.source) ? out.shown : out.hidden).push_back(data.sources[node.source].table);
      return;
    }
    if (node.kind != source::JoinKind::Inner) {
      std::string hidden = hiddenIn(node);
      if (!hidden.empty()) {
        out.reason = "under DISTINCTROW it joins " + hidden +
                     ", whose columns it does not show, in an outer join";
        return;
      }
      out.shown.push_back(JoinText(data, node));
      return;
    }
    out.conditions.insert(out.conditions.end(), node.conditions.begin(), node.conditions.end());
    visit(*node.left);
    visit(*node.right);
  };
  for (const auto& part : data.joined) visit(*part);
  return out;
}

QueryScope::QueryScope(const source::QueryDefinition& query, const QueryCatalog& known,
                       const expression::ServerDialect& server, QueryParameters& parameters,
                       const QueryScope* outer)
    : data_(new Data(query, known, server, parameters, outer)) {
  Data& data = *data_;
  data.context.purpose = expression::Purpose::QueryExpression;
  data.context.server = server;
  data.context.resolve = [&data](const std::vector<std::string>& parts) {
    return data.Resolve(parts);
  };
  data.context.openObject = [&data](const std::vector<std::string>& parts) {
    return std::optional<ColumnRef>(data.parameters.Resolve(parts));
  };
  data.context.comparedWithDate = [&data](const std::string& sql) {
    data.parameters.ComparedWithDate(sql);
  };
  data.context.subquery = [this, &data](std::string_view text) {
    source::QueryDefinition inner;
    std::string why;
    if (!ParseSelectText(text, inner, why)) throw Refused("a subquery cannot be read: " + why);
    SelectTranslation translated =
        TranslateSelect(inner, data.known, data.server, data.parameters, this);
    if (!translated.ok()) throw Refused(translated.reason);
    expression::Context::Subquery out;
    out.sql = translated.sql;
    if (translated.columns.size() == 1) out.kind = translated.columns[0].kind;
    return out;
  };
  data.ReadSources();
  data.Join();
}

QueryScope::~QueryScope() { delete data_; }

const std::string& QueryScope::reason() const { return data_->reason; }
const std::string& QueryScope::from() const { return data_->from; }

expression::Translation QueryScope::Translate(std::string_view accessText) const {
  return expression::Translate(accessText, data_->context);
}

std::optional<std::vector<QueryScope::Star>> QueryScope::Expand(std::string_view reference) const {
  const Data& data = *data_;
  std::vector<Star> out;
  bool found = false;
  // Access names a column that two sources hold "Source.Column".
  auto shared = [&](const ColumnRef& column) {
    int count = 0;
    for (const Data::Source& source : data.sources) {
      for (const ColumnRef& other : source.columns) {
        if (NameEqual(other.accessName, column.accessName)) ++count;
      }
    }
    return count > 1;
  };
  for (std::size_t i = 0; i < data.sources.size(); ++i) {
    const Data::Source& source = data.sources[i];
    if (!reference.empty() && !NameEqual(source.reference, reference)) continue;
    found = true;
    data.read[i] = true;
    for (const ColumnRef& column : source.columns) {
      Star star;
      star.column = column;
      star.sql = source.quoted + "." + column.sql;
      star.column.sql = star.sql;
      star.name = shared(column) ? source.reference + "." + column.accessName : column.accessName;
      star.reference = source.reference;
      out.push_back(std::move(star));
    }
  }
  if (!found) return std::nullopt;
  return out;
}

void QueryScope::AddAlias(const ColumnRef& column) { data_->aliases.push_back(column); }

std::vector<std::string> QueryScope::SourcesRead() const {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < data_->sources.size(); ++i) {
    if (data_->read[i]) out.push_back(data_->sources[i].reference);
  }
  return out;
}

// ---- The SELECT statement ----

namespace {

SelectTranslation Refuse(std::string reason) {
  SelectTranslation out;
  out.reason = std::move(reason);
  return out;
}

std::string Trim(std::string_view text) {
  std::size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return "";
  std::size_t end = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(begin, end - begin + 1));
}

// The name Access gives a column the query does not name: a column's own
// name, "SumOfTotal" for an aggregate of one column, else "Expr1000",
// "Expr1001", ... in turn.
std::string OutputName(std::string_view expressionText, int& unnamed, std::string& qualified) {
  static constexpr std::string_view kAggregates[] = {
      "Sum", "Count", "Avg", "Min", "Max", "First", "Last", "StDev", "StDevP", "Var", "VarP"};
  try {
    expression::NodePtr tree = expression::Parse(expressionText);
    if (tree->kind == expression::Node::Kind::Name) {
      if (tree->parts.size() == 2) qualified = tree->parts[0] + "." + tree->parts[1];
      return tree->parts.back();
    }
    if (tree->kind == expression::Node::Kind::Call && tree->children.size() == 1 &&
        tree->children[0]->kind == expression::Node::Kind::Name) {
      for (std::string_view aggregate : kAggregates) {
        if (NameEqual(aggregate, tree->text)) {
          return std::string(aggregate) + "Of" + tree->children[0]->parts.back();
        }
      }
    }
  } catch (const expression::SyntaxError&) {
    // The translation says what is wrong with it.
  }
  return "Expr" + std::to_string(1000 + unnamed++);
}

// "TOP 5" as a count: digits only.
bool WholeCount(const std::string& text) {
  return !text.empty() && text.size() <= 9 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

constexpr int kMaxSubqueryNesting = 32;

struct Item {
  std::string sql;   // the expression
  std::string name;  // quoted, as the result names it
};

std::string List(const std::vector<Item>& items) {
  std::string out;
  for (const Item& item : items) out += (out.empty() ? "" : ", ") + item.sql + " AS " + item.name;
  return out;
}

std::string Names(const std::vector<Item>& items, const std::string& prefix = "") {
  std::string out;
  for (const Item& item : items) out += (out.empty() ? "" : ", ") + prefix + item.name;
  return out;
}

}  // namespace

SelectTranslation TranslateSelect(const source::QueryDefinition& query, const QueryCatalog& known,
                                  const expression::ServerDialect& server,
                                  QueryParameters& parameters, const QueryScope* outer) {
  // Subqueries within subqueries: refused rather than risking the stack.
  thread_local int depth = 0;
  struct Enter {
    int& depth;
    ~Enter() { --depth; }
  } enter{++depth};
  if (depth > kMaxSubqueryNesting) return Refuse("its subqueries are nested too deeply");
  QueryScope scope(query, known, server, parameters, outer);
  if (!scope.reason().empty()) return Refuse(scope.reason());
  auto translate = [&](const std::string& text, std::string_view where) {
    expression::Translation translation = scope.Translate(text);
    if (!translation.ok()) {
      throw Refused("its " + std::string(where) + " " + Trim(text) +
                    " is not translatable: " + translation.reason);
    }
    return translation;
  };

  SelectTranslation out;
  std::vector<Item> outputs;
  NameRegistry names(true);
  // The columns before their names are settled: Access names a column
  // "Table.Column" where another column of the result has its name.
  struct Pending {
    std::string sql;
    std::string name;
    std::string qualified;
    ColumnRef column;
  };
  std::vector<Pending> pending;
  auto add = [&](const std::string& sql, const std::string& name, const std::string& qualified,
                 const ColumnRef& column) {
    pending.push_back({sql, name, qualified, column});
  };
  auto expand = [&](const std::string& reference) {
    std::optional<std::vector<QueryScope::Star>> stars = scope.Expand(reference);
    if (!stars) {
      throw Refused("it reads " + reference + ".*, but " + reference + " is not among its tables");
    }
    for (const QueryScope::Star& star : *stars) {
      add(star.sql, star.column.accessName, star.reference + "." + star.column.accessName,
          star.column);
    }
  };

  try {
    if (!parameters.reason().empty()) return Refuse(parameters.reason());
    if (query.allColumns) expand("");
    int unnamed = 0;
    for (const source::QueryColumn& column : query.columns) {
      std::string text = Trim(column.expression);
      if (text == "*") {
        expand("");
        continue;
      }
      if (text.size() > 2 && text.compare(text.size() - 2, 2, ".*") == 0) {
        std::string reference = text.substr(0, text.size() - 2);
        if (reference.size() > 2 && reference.front() == '[' && reference.back() == ']') {
          reference = reference.substr(1, reference.size() - 2);
        }
        expand(reference);
        continue;
      }
      expression::Translation value = translate(text, "column");
      std::string qualified;
      std::string name = column.alias.empty() ? OutputName(text, unnamed, qualified) : column.alias;
      if (!column.alias.empty()) qualified.clear();
      ColumnRef ref{name, value.sql, value.kind, value.wholeNumber};
      add(value.sql, name, qualified, ref);
      if (!column.alias.empty())
        scope.AddAlias({name, "(" + value.sql + ")", value.kind, value.wholeNumber});
    }
    if (pending.empty()) return Refuse("it yields no column");
    for (const Pending& item : pending) {
      int same = 0;
      for (const Pending& other : pending) {
        if (ColumnNameKey(other.name) == ColumnNameKey(item.name)) ++same;
      }
      std::string name = same > 1 && !item.qualified.empty() ? item.qualified : item.name;
      std::string quoted = QuoteIdentifier(names.Claim(name, "Expr"));
      outputs.push_back({item.sql, quoted});
      ColumnRef column = item.column;
      column.accessName = name;
      column.sql = quoted;
      out.columns.push_back(column);
    }
    const std::vector<std::string> shown = scope.SourcesRead();

    // ORDER BY: each key as an output where it is one, else as its own
    // expression.
    struct Key {
      std::string sql;
      bool descending = false;
      int output = -1;
    };
    std::vector<Key> keys;
    for (const source::QueryOrder& order : query.orderBy) {
      expression::Translation value = translate(order.expression, "sort key");
      Key key{value.sql, order.descending, -1};
      for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].sql == value.sql) key.output = static_cast<int>(i);
      }
      keys.push_back(key);
    }
    const std::vector<std::string> shownOrSorted = scope.SourcesRead();

    std::string clauses = scope.from().empty() ? "" : " FROM " + scope.from();
    std::string where;
    if (!Trim(query.where).empty()) where = translate(query.where, "condition").sql;
    if (!where.empty()) clauses += " WHERE " + where;
    std::string groups;
    for (const source::QueryColumn& group : query.groupBy) {
      groups += (groups.empty() ? "" : ", ") + translate(group.expression, "grouping").sql;
    }
    if (!groups.empty()) clauses += " GROUP BY " + groups;
    if (!Trim(query.having).empty()) {
      clauses += " HAVING " + translate(query.having, "group condition").sql;
    }

    // DISTINCTROW matters only where the columns shown come from some of the
    // tables read but not all: then each record of the tables shown (each
    // combination of their rows, identical rows of a table without a key
    // included) comes once if the other tables hold a match for it. The
    // tables shown are read as joined, the others in an EXISTS with the
    // join conditions and the WHERE.
    const bool distinctRow = query.distinctRow && !query.distinct && query.sources.size() > 1 &&
                             !shown.empty() && shown.size() < query.sources.size();
    if (distinctRow) {
      if (!groups.empty()) {
        return Refuse(
            "DISTINCTROW in a query that groups its rows has no counterpart on the server");
      }
      if (shownOrSorted.size() != shown.size()) {
        return Refuse("it sorts by a table whose columns it does not show, under DISTINCTROW");
      }
      QueryScope::Split split = scope.SplitFrom(shown);
      if (!split.reason.empty()) return Refuse(split.reason);
      std::vector<std::string> conditions = split.conditions;
      if (!where.empty()) conditions.push_back(where);
      std::string exists = "SELECT 1 FROM ";
      for (std::size_t i = 0; i < split.hidden.size(); ++i) {
        exists += (i > 0 ? ", " : "") + split.hidden[i];
      }
      for (std::size_t i = 0; i < conditions.size(); ++i) {
        exists += (i > 0 ? " AND " : " WHERE ") + conditions[i];
      }
      clauses = " FROM ";
      for (std::size_t i = 0; i < split.shown.size(); ++i) {
        clauses += (i > 0 ? ", " : "") + split.shown[i];
      }
      clauses += " WHERE EXISTS (" + exists + ")";
    }

    const bool top = !Trim(query.top).empty();
    const bool wrapped = top;
    std::vector<Item> hidden;  // sort keys that are not among the outputs
    std::string orderBy;
    for (Key& key : keys) {
      std::string text;
      if (!wrapped) {
        text = key.output >= 0 && query.distinct ? outputs[key.output].name : key.sql;
      } else if (key.output >= 0) {
        text = outputs[key.output].name;
      } else {
        if (query.distinct) {
          return Refuse("it sorts by " + key.sql + ", which DISTINCT leaves out of its rows");
        }
        hidden.push_back({key.sql, QuoteIdentifier(names.Claim("_sort", "_sort"))});
        text = hidden.back().name;
      }
      orderBy += (orderBy.empty() ? "" : ", ") + text + (key.descending ? " DESC" : "");
    }

    if (!wrapped) {
      out.sql = std::string("SELECT ") + (query.distinct ? "DISTINCT " : "") + List(outputs) +
                clauses + (orderBy.empty() ? "" : " ORDER BY " + orderBy);
      return out;
    }

    std::vector<Item> inner = outputs;
    inner.insert(inner.end(), hidden.begin(), hidden.end());
    std::string rows =
        std::string("SELECT ") + (query.distinct ? "DISTINCT " : "") + List(inner) + clauses;
    if (!WholeCount(Trim(query.top))) {
      return Refuse("its TOP " + query.top + " is not a whole number");
    }
    const std::string count = std::to_string(std::stol(Trim(query.top)));
    if (query.topPercent && std::stol(count) > 100) {
      return Refuse("it asks for the TOP " + count + " PERCENT of its rows");
    }
    if (orderBy.empty()) {
      // Without an order Access hands over the first rows it reads, and any
      // rows are as good: no ties to keep.
      if (query.topPercent) {
        return Refuse("it asks for a share of its rows without saying their order");
      }
      out.sql = "SELECT " + Names(outputs) + " FROM (" + rows + ") AS `top_rows` LIMIT " + count;
      return out;
    }
    // Access keeps every row tied with the last one it hands over: the rows
    // whose rank is within the count.
    bool windows = server.isMariaDb ? server.AtLeast(10, 2) : server.AtLeast(8, 0);
    if (!windows) {
      return Refuse(
          "TOP keeps every row tied with the last, which needs window functions (MariaDB 10.2, "
          "MySQL 8.0)");
    }
    std::string limit = count;
    std::string counted;
    if (query.topPercent) {
      // The share of the rows, rounded up to a whole row.
      counted = ", COUNT(*) OVER () AS `_rows`";
      limit = "CEILING(`_rows` * " + count + " / 100)";
    }
    out.sql = "SELECT " + Names(outputs) + " FROM (SELECT `ranked`.*, RANK() OVER (ORDER BY " +
              orderBy + ") AS `_rank`" + counted + " FROM (" + rows +
              ") AS `ranked`) AS `top_rows` WHERE `_rank` <= " + limit + " ORDER BY " + orderBy;
    return out;
  } catch (const Refused& refused) {
    return Refuse(refused.what());
  }
}

SelectTranslation TranslateUnion(const source::QueryDefinition& query, const QueryCatalog& known,
                                 const expression::ServerDialect& server,
                                 QueryParameters& parameters) {
  std::vector<source::QueryDefinition> parts;
  std::vector<bool> all;  // UNION ALL before each part
  for (const std::string& unionPart : query.unionParts) {
    std::vector<UnionPart> pieces = SplitUnion(unionPart);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      source::QueryDefinition part;
      std::string why;
      if (!ParseSelectText(pieces[i].text, part, why)) {
        return Refuse("a part of its union cannot be read: " + why);
      }
      if (part.sources.empty()) {
        return Refuse("a part of its union reads no table (it has no FROM clause)");
      }
      all.push_back(i == 0 ? query.unionAll : pieces[i].all);
      parts.push_back(std::move(part));
    }
  }
  if (parts.size() < 2) return Refuse("its union has fewer than two parts");
  // The ORDER BY of the last part sorts the whole union.
  std::vector<source::QueryOrder> orderBy = query.orderBy;
  if (orderBy.empty() && !parts.empty()) orderBy = parts.back().orderBy;
  parts.back().orderBy.clear();

  SelectTranslation out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (!parts[i].orderBy.empty() && Trim(parts[i].top).empty()) parts[i].orderBy.clear();
    SelectTranslation part = TranslateSelect(parts[i], known, server, parameters);
    if (!part.ok()) return part;
    if (i == 0) {
      out.columns = part.columns;
    } else if (part.columns.size() != out.columns.size()) {
      return Refuse("the parts of its union yield different numbers of columns");
    } else {
      for (std::size_t c = 0; c < out.columns.size(); ++c) {
        if (out.columns[c].kind != part.columns[c].kind) out.columns[c].kind = ValueKind::Unknown;
      }
    }
    if (i > 0) out.sql += all[i] ? " UNION ALL " : " UNION ";
    out.sql += "(" + part.sql + ")";
  }
  if (orderBy.empty()) return out;
  // The union's rows are sorted by its columns, named as the first part
  // names them (or by their place).
  std::string keys;
  for (const source::QueryOrder& order : orderBy) {
    std::string text = Trim(order.expression);
    std::string key;
    if (WholeCount(text) && std::stol(text) >= 1 &&
        static_cast<std::size_t>(std::stol(text)) <= out.columns.size()) {
      key = out.columns[std::stol(text) - 1].sql;
    } else {
      // A name of the first part's columns, perhaps with its table.
      std::string bare;
      try {
        expression::NodePtr tree = expression::Parse(text);
        if (tree->kind == expression::Node::Kind::Name) bare = tree->parts.back();
      } catch (const expression::SyntaxError&) {
        // Not a name: refused below.
      }
      for (const ColumnRef& column : out.columns) {
        if (NameEqual(column.accessName, bare)) key = column.sql;
      }
      if (key.empty()) {
        return Refuse("its union is sorted by " + text + ", which is not one of its columns");
      }
    }
    keys += (keys.empty() ? "" : ", ") + key + (order.descending ? " DESC" : "");
  }
  out.sql = "SELECT * FROM (" + out.sql + ") AS `union_rows` ORDER BY " + keys;
  return out;
}

}  // namespace bracken::engine
