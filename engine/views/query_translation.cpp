#include "engine/views/query_translation.h"

#include "engine/views/action_translation.h"
#include "engine/views/crosstab_translation.h"
#include "engine/views/select_text_parser.h"
#include "engine/views/select_translation.h"
#include "source/access_data.h"

namespace bracken::engine {

namespace {

QueryTranslation Refuse(std::string reason) {
  QueryTranslation out;
  out.reason = std::move(reason);
  return out;
}

void AddName(std::vector<std::string>& names, const std::string& name) {
  if (name.empty()) return;
  for (const std::string& known : names) {
    if (source::NameEqual(known, name)) return;
  }
  names.push_back(name);
}

// The names a subquery's text reads, found by reading it as a statement.
void AddNamesOfText(std::vector<std::string>& names, std::string_view text, int depth);

void AddNamesOf(std::vector<std::string>& names, const source::QueryDefinition& query, int depth) {
  if (depth > 32) return;
  for (const source::QuerySource& source : query.sources) {
    if (source.name.empty()) {
      AddNamesOfText(names, source.subquery, depth + 1);
    } else {
      AddName(names, source.name);
    }
  }
  for (const std::string& part : query.unionParts) {
    for (const UnionPart& piece : SplitUnion(part)) AddNamesOfText(names, piece.text, depth + 1);
  }
  // Subqueries inside expressions: each "(SELECT" outside texts, names and
  // dates begins one; its own subqueries are read with it.
  auto scan = [&](const std::string& text) {
    auto closing = [](char c) { return c == '[' ? ']' : c; };
    char quote = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
      const char c = text[at];
      if (quote != 0) {
        if (c == quote) quote = 0;
        continue;
      }
      if (c == '"' || c == '\'' || c == '[' || c == '#') {
        quote = closing(c);
        continue;
      }
      if (c != '(') continue;
      std::size_t word = text.find_first_not_of(" \t\r\n", at + 1);
      if (word == std::string::npos || text.size() - word < 6 ||
          !source::NameEqual(text.substr(word, 6), "SELECT")) {
        continue;
      }
      int level = 1;
      std::size_t end = at + 1;
      char inner = 0;
      for (; end < text.size() && level > 0; ++end) {
        const char d = text[end];
        if (inner != 0) {
          if (d == inner) inner = 0;
        } else if (d == '"' || d == '\'' || d == '[' || d == '#') {
          inner = closing(d);
        } else if (d == '(') {
          ++level;
        } else if (d == ')') {
          --level;
        }
      }
      AddNamesOfText(names, text.substr(word, end - 1 - word), depth + 1);
      at = end - 1;
    }
  };
  for (const source::QueryColumn& column : query.columns) scan(column.expression);
  scan(query.where);
  scan(query.having);
  for (const source::QueryJoin& join : query.joins) scan(join.condition);
  if (!query.target.empty() && query.targetDatabase.empty()) AddName(names, query.target);
}

void AddNamesOfText(std::vector<std::string>& names, std::string_view text, int depth) {
  source::QueryDefinition inner;
  std::string why;
  if (ParseSelectText(text, inner, why)) AddNamesOf(names, inner, depth);
}

}  // namespace

const ReadableObject* QueryCatalog::Find(std::string_view accessName) const {
  for (const ReadableObject& object : objects) {
    if (source::NameEqual(object.accessName, accessName)) return &object;
  }
  return nullptr;
}

std::vector<std::string> NamesRead(const source::QueryDefinition& query) {
  std::vector<std::string> names;
  AddNamesOf(names, query, 0);
  return names;
}

QueryTranslation TranslateQuery(const source::QueryDefinition& query, const QueryCatalog& known,
                                const expression::ServerDialect& server) {
  // Each kind to its translation. Crosstab and action queries have theirs
  // in crosstab_translation and action_translation (which check the names
  // they read themselves: a make-table query's target does not exist yet);
  // pass-through and data-definition queries have none.
  switch (query.kind) {
    case source::QueryKind::Select:
    case source::QueryKind::Union:
      break;
    case source::QueryKind::Crosstab:
      return TranslateCrosstab(query, known, server);
    case source::QueryKind::Append:
    case source::QueryKind::Update:
    case source::QueryKind::Delete:
    case source::QueryKind::MakeTable:
      return TranslateAction(query, known, server);
    case source::QueryKind::PassThrough:
      return Refuse("a pass-through query runs on another server, in that server's own SQL");
    case source::QueryKind::DataDefinition:
      return Refuse("a data-definition query changes the design of the Access database itself");
  }
  for (const std::string& name : NamesRead(query)) {
    if (known.Find(name) == nullptr) {
      return Refuse("it reads " + name + ", which is not a table or query of the conversion");
    }
  }
  QueryParameters parameters(query.parameters, &known);
  SelectTranslation select = query.kind == source::QueryKind::Union
                                 ? TranslateUnion(query, known, server, parameters)
                                 : TranslateSelect(query, known, server, parameters);
  if (!select.ok()) return Refuse(select.reason);
  if (!parameters.reason().empty()) return Refuse(parameters.reason());
  QueryTranslation out;
  out.columns = select.columns;
  if (parameters.empty()) {
    out.kind = QueryObjectKind::View;
    out.body = select.sql;
    return out;
  }
  // A query that asks for parameters runs as a procedure that returns its rows.
  out.kind = QueryObjectKind::Procedure;
  out.body = select.sql + ";";
  out.parameters = parameters.list();
  return out;
}

}  // namespace bracken::engine
