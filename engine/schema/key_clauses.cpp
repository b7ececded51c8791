#include "engine/schema/key_clauses.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engine/schema/identifier.h"
#include "engine/schema/type_mapping.h"
#include "engine/source_connection.h"

namespace bracken::engine {

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsLongType(const std::string& type) {
  return EndsWith(type, "TEXT") || EndsWith(type, "BLOB");
}

// Characters of a CHAR(n) or VARCHAR(n) type; 0 for any other.
int DeclaredChars(const std::string& type) {
  std::size_t open = type.find('(');
  if (open == std::string::npos || !(StartsWith(type, "CHAR") || StartsWith(type, "VARCHAR"))) {
    return 0;
  }
  return std::atoi(type.c_str() + open + 1);
}

int DecimalBytes(const std::string& type) {
  // DECIMAL(p, s): nine digits take four bytes, leftover digits 1 to 4 bytes,
  // counted separately for the integer and fraction parts.
  static const int kLeftover[] = {0, 1, 1, 2, 2, 3, 3, 4, 4};
  int precision = 0, scale = 0;
  std::sscanf(type.c_str(), "DECIMAL(%d, %d)", &precision, &scale);
  auto bytes = [](int digits) { return digits / 9 * 4 + kLeftover[digits % 9]; };
  return bytes(std::max(precision - scale, 0)) + bytes(std::max(scale, 0));
}

enum class IndexVerdict { Keep, Skip, EndScan };

// The first key column, in table column order, of a type that cannot be
// indexed decides: binary kinds end the scan, memos lose this index only.
IndexVerdict CheckColumns(const std::vector<ColumnDescription>& tableColumns,
                          const IndexDescription& index) {
  for (const ColumnDescription& column : tableColumns) {
    for (const std::string& keyColumn : index.columns) {
      if (keyColumn != column.name) continue;
      switch (column.type) {
        case source::adGUID:
        case source::adBinary:
        case source::adVarBinary:
        case source::adLongVarBinary:
          return IndexVerdict::EndScan;
        case source::adLongVarWChar:
          return IndexVerdict::Skip;
        default:
          break;
      }
    }
  }
  return IndexVerdict::Keep;
}

KeyClause MakeClause(const std::vector<ColumnDescription>& tableColumns,
                     const IndexDescription& index, const TablePlan& plan) {
  KeyClause clause;
  clause.kind =
      index.primaryKey ? KeyKind::PrimaryKey : (index.unique ? KeyKind::Unique : KeyKind::Index);
  for (const std::string& name : index.columns) {
    KeyPart part;
    part.name = name;
    for (const ColumnDescription& column : tableColumns) {
      if (column.name != name) continue;
      part.typeText =
          MapColumnType(column.type, column.definedSize, column.numericScale, column.precision);
      part.definedSize = column.definedSize;
      break;
    }
    if (const ColumnPlan* planned = plan.Find(name)) {
      part.typeText = planned->typeText;
      part.targetName = planned->targetName;
      part.bytesPerCharacter = planned->extendedCharacters ? 4 : 3;
    }
    clause.parts.push_back(std::move(part));
  }
  return clause;
}

// Prefix lengths (in characters, 0 = whole column) for a plain index: long
// text and binary columns take their defined size when it is short, else
// 255; then the longest text columns are shortened until the key fits.
std::vector<int> IndexPrefixes(const std::vector<KeyPart>& parts, int maxKeyBytes) {
  std::vector<int> prefix(parts.size(), 0);
  std::vector<int> length(parts.size(), 0);  // characters of each text part
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (IsLongType(parts[i].typeText)) {
      int size = parts[i].definedSize;
      prefix[i] = (size > 0 && 2 * size < 255) ? size : 255;
      if (EndsWith(parts[i].typeText, "TEXT")) length[i] = prefix[i];
    } else {
      length[i] = DeclaredChars(parts[i].typeText);
    }
  }
  auto total = [&] {
    int bytes = 0;
    for (std::size_t i = 0; i < parts.size(); ++i)
      bytes += KeyPartBytes(parts[i].typeText, prefix[i], parts[i].bytesPerCharacter);
    return bytes;
  };
  while (total() > maxKeyBytes) {
    auto longest = std::max_element(length.begin(), length.end());
    if (*longest <= 1) break;
    std::size_t i = static_cast<std::size_t>(longest - length.begin());
    prefix[i] = --length[i];
  }
  return prefix;
}

// A key the server cannot hold whole as a B-tree: it is kept as a hash of
// the full values (MariaDB's long UNIQUE), which only a UNIQUE key can be.
bool NeedsWholeValueHash(const std::vector<KeyPart>& parts, int maxKeyBytes) {
  int bytes = 0;
  for (const KeyPart& part : parts) {
    if (IsLongType(part.typeText)) return true;
    bytes += KeyPartBytes(part.typeText, 0, part.bytesPerCharacter);
  }
  return bytes > maxKeyBytes;
}

void AppendColumnList(std::string& text, const std::vector<KeyPart>& parts,
                      const std::vector<int>& prefix) {
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (k > 0) text += ',';
    AppendQuotedIdentifier(text, parts[k].targetName.empty() ? parts[k].name : parts[k].targetName);
    if (prefix[k] > 0) text.append("(").append(std::to_string(prefix[k])).append(")");
  }
}

bool Names(const std::vector<KeyPart>& parts, const std::string& name) {
  return std::any_of(parts.begin(), parts.end(),
                     [&](const KeyPart& part) { return part.name == name; });
}

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The names the server gives the clauses of one CREATE TABLE, in their
// order: PRIMARY for the primary key, else the first column's name, with
// _2, _3, ... while that is taken (compared without case). Empty when a
// name is not certain: beyond ASCII (the server folds case its own way) or
// longer than a name may be.
std::vector<std::string> ServerKeyNames(const std::vector<KeyClause>& clauses,
                                        const std::vector<bool>& whole) {
  std::vector<std::string> names;
  std::vector<std::string> taken;  // lower-cased
  auto isTaken = [&](const std::string& name) {
    return std::find(taken.begin(), taken.end(), AsciiLower(name)) != taken.end();
  };
  for (std::size_t c = 0; c < clauses.size(); ++c) {
    const KeyClause& clause = clauses[c];
    if (clause.kind == KeyKind::PrimaryKey && !whole[c]) {
      names.push_back("PRIMARY");
      taken.push_back("primary");
      continue;
    }
    if (clause.parts.empty()) return {};
    const KeyPart& first = clause.parts[0];
    std::string base = first.targetName.empty() ? first.name : first.targetName;
    for (char ch : base) {
      if (static_cast<unsigned char>(ch) >= 0x80) return {};
    }
    std::string name = base;
    for (int n = 2; isTaken(name) || AsciiLower(name) == "primary"; ++n) {
      name = base + "_" + std::to_string(n);
    }
    if (name.size() > 64) return {};
    names.push_back(name);
    taken.push_back(AsciiLower(name));
  }
  return names;
}

}  // namespace

int KeyPartBytes(const std::string& type, int prefixChars, int bytesPerCharacter) {
  bool binary = EndsWith(type, "BLOB");
  if (prefixChars > 0) return binary ? prefixChars : bytesPerCharacter * prefixChars;
  if (int chars = DeclaredChars(type)) return bytesPerCharacter * chars;
  if (StartsWith(type, "DECIMAL")) return DecimalBytes(type);
  if (type == "BIGINT" || type == "DOUBLE" || type == "DATETIME") return 8;
  if (type == "INT" || type == "FLOAT" || type == "TIMESTAMP") return 4;
  if (type == "DATE" || type == "TIME") return 3;
  if (type == "SMALLINT") return 2;
  if (IsLongType(type)) return bytesPerCharacter * 255;
  return 1;  // TINYINT UNSIGNED, BIT
}

void FormatKeyClauses(const std::vector<KeyClause>& clauses, KeyState& state, int maxKeyBytes) {
  std::string text = ", ";
  std::string before = ", ";  // the text without the plain indexes
  std::vector<const KeyClause*> hashed;
  std::vector<bool> wholeValues;
  wholeValues.reserve(clauses.size());
  for (const KeyClause& clause : clauses) {
    wholeValues.push_back(clause.kind != KeyKind::Index &&
                          NeedsWholeValueHash(clause.parts, maxKeyBytes));
  }
  const std::vector<std::string> names = ServerKeyNames(clauses, wholeValues);
  for (std::size_t c = 0; c < clauses.size(); ++c) {
    const KeyClause& clause = clauses[c];
    std::vector<int> prefix(clause.parts.size(), 0);
    const bool whole = wholeValues[c];
    const std::size_t clauseStart = text.size();
    auto& named =
        clause.kind == KeyKind::PrimaryKey ? state.primaryKeyColumns : state.uniqueKeyColumns;
    if (clause.kind != KeyKind::Index) {
      for (const KeyPart& part : clause.parts) named.push_back(part.name);
    }
    if (clause.kind == KeyKind::PrimaryKey && !whole) {
      text += " PRIMARY KEY(";
      state.primaryKeyEmitted = true;
      if (c == 0 && !clause.parts.empty()) state.leadingPrimaryKeyColumn = clause.parts[0].name;
    } else if (clause.kind != KeyKind::Index) {
      text += " UNIQUE (";
    } else {
      text += " INDEX (";
      state.plainIndexes = true;
      prefix = IndexPrefixes(clause.parts, maxKeyBytes);
    }
    if (whole) hashed.push_back(&clause);
    AppendColumnList(text, clause.parts, prefix);
    text += "), ";
    if (clause.kind == KeyKind::PrimaryKey && !whole) {
      before.append(text, clauseStart);
    } else if (clause.kind != KeyKind::Index) {
      // Named as the full statement names it: without the plain indexes
      // before it, the server would give it another name.
      before += " UNIQUE ";
      if (!names.empty()) AppendQuotedIdentifier(before, names[c]);
      before.append(text, clauseStart + sizeof " UNIQUE" - 1);
    } else if (!names.empty()) {
      std::string add = "ADD INDEX ";
      AppendQuotedIdentifier(add, names[c]);
      add += " (";
      AppendColumnList(add, clause.parts, prefix);
      state.indexesAfterRows.push_back(add + ")");
    }
  }
  if (names.empty() || state.indexesAfterRows.empty()) {
    state.indexesAfterRows.clear();
  } else {
    before.resize(before.size() - 2);
    state.keyTextBeforeRows = std::move(before);
  }
  // The server refuses an AUTO_INCREMENT column inside a hashed UNIQUE key;
  // the column then keeps its values without counting on.
  if (state.leadingPrimaryKeyColumn) {
    for (const KeyClause* clause : hashed) {
      if (Names(clause->parts, *state.leadingPrimaryKeyColumn)) {
        state.leadingPrimaryKeyColumn.reset();
        break;
      }
    }
  }
  text.resize(text.size() - 2);
  state.keyText = std::move(text);
}

std::string BuildKeyClauses(ConversionOwner& owner, ConversionContext& context,
                            const std::string& tableName) {
  KeyState& state = context.keyState;
  state.Clear();
  try {
    std::vector<ColumnDescription> tableColumns = context.source.Columns(tableName);
    long count = context.source.IndexCount(tableName);
    std::vector<KeyClause> clauses;
    for (long i = 0; i < count; ++i) {
      IndexDescription index = context.source.Index(tableName, i);
      if (index.name.find('{') != std::string::npos) continue;
      if (StartsWith(index.name, "_")) break;
      IndexVerdict verdict = CheckColumns(tableColumns, index);
      if (verdict == IndexVerdict::EndScan) break;
      if (verdict == IndexVerdict::Skip) continue;
      clauses.push_back(MakeClause(tableColumns, index, context.tablePlan));
    }
    FormatKeyClauses(clauses, state,
                     context.engine == TableEngine::InnoDB ? kMaxInnoDbKeyBytes : kMaxKeyBytes);
  } catch (const source::SourceError& error) {
    owner.ShowMessage(SourceErrorMessage(error), "Message", MessageButtons::Ok, MessageIcon::None);
    state.Clear();
  }
  return state.keyText;
}

}  // namespace bracken::engine
