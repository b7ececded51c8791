#pragma once

// The PRIMARY KEY, UNIQUE and INDEX clauses of a table's CREATE TABLE,
// built from its indexes in the Access catalogue.

#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

namespace bracken::engine {

// MyISAM's limit on the bytes of one key, and InnoDB's for the DYNAMIC rows
// its tables are created with.
inline constexpr int kMaxKeyBytes = 1000;
inline constexpr int kMaxInnoDbKeyBytes = 3072;

enum class KeyKind { PrimaryKey, Unique, Index };

// One column of a kept index with the MySQL type of its table column.
struct KeyPart {
  std::string name;  // the source column's name
  std::string typeText;
  int32_t definedSize = 0;
  std::string targetName;     // its name in MySQL; empty for the same
  int bytesPerCharacter = 3;  // 4 for a utf8mb4 column
};

struct KeyClause {
  KeyKind kind = KeyKind::Index;
  std::vector<KeyPart> parts;
};

// The key text for the table (", " + clauses joined by ", ", or empty), also
// left in context.keyState with the primary key's columns. A source error is
// shown and gives the empty text.
std::string BuildKeyClauses(ConversionOwner& owner, ConversionContext& context,
                            const std::string& tableName);

// Writes the clauses into a key state: the text, the primary key flag and
// columns. Plain indexes that hold TEXT columns or exceed the key limit
// (`maxKeyBytes`, the engine's) get prefix lengths; a primary key that cannot
// be held at full length is written as a UNIQUE key over NOT NULL columns,
// which the server keeps whole.
void FormatKeyClauses(const std::vector<KeyClause>& clauses, KeyState& state,
                      int maxKeyBytes = kMaxKeyBytes);

// Bytes of one key part of the given type (utf8 text counts 3 per character,
// utf8mb4 4); prefixChars > 0 stands for a prefix of that many characters.
int KeyPartBytes(const std::string& typeText, int prefixChars, int bytesPerCharacter = 3);

}  // namespace bracken::engine
