#pragma once

// Names as MySQL can hold them. The server refuses an identifier that is
// empty, longer than 64 characters, ends in a space, or holds NUL or a
// character above U+FFFF; and column names are compared without regard to
// case or accents, so two Access columns "Name" and "NAME" cannot both
// stand in one MySQL table. Each refused name gets the nearest legal
// spelling, unique among the names already given out.

#include <string>
#include <string_view>
#include <vector>

namespace bracken::engine {

inline constexpr std::size_t kMaxIdentifierCharacters = 64;

// The nearest spelling the server accepts, before uniqueness: characters it
// cannot hold become "_", the name is cut to 64 characters and trailing
// spaces go; an empty result becomes `fallback`.
std::string LegalSpelling(std::string_view name, const std::string& fallback);

// The key by which the server compares column names: lower case, accents
// of the Latin letters folded away (or kept, for table names).
std::string ColumnNameKey(std::string_view name, bool foldAccents = true);

// Gives out names unique as the server compares column names. Table names
// go through it too: a server with lower_case_table_names folds their case.
class NameRegistry {
 public:
  // Column names are compared without regard to accents as well; table
  // names live in files, which keep accents apart.
  explicit NameRegistry(bool foldAccents) : foldAccents_(foldAccents) {}
  // The legal spelling of `name`, made unique by a suffix "_2", "_3", ...
  // (the name shortened to keep 64 characters) when taken.
  std::string Claim(std::string_view name, const std::string& fallback);

 private:
  std::string Key(const std::string& name) const;
  bool Taken(const std::string& name) const;
  bool foldAccents_;
  std::vector<std::string> keys_;
};

}  // namespace bracken::engine
