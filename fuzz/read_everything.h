#pragma once

// Opens a database held in memory and reads everything the access operations
// offer: every table with its columns, their properties and its indexes, and
// every field of every row, rendered as text. Used by the fuzz target and by
// the regression tests of the inputs it found. A SourceError is the expected
// answer to a damaged file; anything else escapes to the caller. Encrypted
// inputs are opened with the passwords of the fuzzer's seeds.

#include <cstddef>
#include <string>
#include <vector>

#include "source/source_access.h"

namespace bracken::fuzzing {

inline void ReadColumns(const source::Columns& columns, std::string& sink) {
  for (long i = 0; i < columns.Count(); ++i) {
    source::Column column = columns.Item(i);
    sink += column.Name();
    sink += std::to_string(column.Type() + column.DefinedSize() + column.NumericScale() +
                           column.Precision());
    const source::Properties& properties = column.Properties();
    for (long p = 0; p < properties.Count(); ++p) {
      sink += properties.Item(p).Name();
      properties.Item(p).Value().AppendText(sink);
    }
  }
}

inline void ReadIndexes(const source::Indexes& indexes, std::string& sink) {
  for (long i = 0; i < indexes.Count(); ++i) {
    source::Index index = indexes.Item(i);
    sink += index.Name();
    sink += index.PrimaryKey() ? "P" : "-";
    sink += index.Unique() ? "U" : "-";
    source::Columns columns = index.Columns();
    for (long c = 0; c < columns.Count(); ++c) sink += columns.Item(c).Name();
  }
}

inline void ReadRows(const source::Catalog& catalog, const std::string& table, std::string& sink) {
  source::Recordset recordset;
  recordset.Open("SELECT * FROM [" + table + "]", catalog);
  for (; !recordset.Eof(); recordset.MoveNext()) {
    source::Fields fields = recordset.Fields();
    for (long i = 0; i < fields.Count(); ++i) {
      source::Field field = fields.Item(i);
      sink += field.Name();
      sink += std::to_string(field.Type() + field.DefinedSize() + field.ActualSize());
      field.Value().AppendText(sink);
    }
    sink.clear();  // keep memory flat on long tables
  }
}

// Reads the whole database; returns how many tables it lists.
inline long ReadEverything(const std::string& bytes, const std::string& password = {}) {
  source::Catalog catalog;
  catalog.OpenBuffer(bytes, password);
  source::Tables tables = catalog.Tables();
  std::string sink;
  for (long t = 0; t < tables.Count(); ++t) {
    source::Table table = tables.Item(t);
    sink = table.Name() + table.Type();
    ReadColumns(table.Columns(), sink);
    ReadIndexes(table.Indexes(), sink);
    try {
      ReadRows(catalog, table.Name(), sink);
    } catch (const source::SourceError&) {
      // A table that cannot be read does not stop the others from being read.
    }
  }
  return tables.Count();
}

// The passwords of the encrypted seeds scripts/fuzz writes and copies (the
// corpus files' "password", the fixtures' own): a file the empty password
// does not open is opened with each in turn, so that the pages behind a
// password, and their decryption, are read too.
inline const std::vector<std::string>& SeedPasswords() {
  static const std::vector<std::string> passwords = {"password",
                                                     "Gr\xC3\xBC\xC3\x9F"
                                                     "e 1"};
  return passwords;
}

// ReadEverything with the empty password, then, while the password is the
// refusal, with each of the seeds' passwords. The last refusal, or any other
// SourceError, escapes as ReadEverything's does.
inline long ReadEverythingWithSeedPasswords(const std::string& bytes) {
  const std::vector<std::string>& passwords = SeedPasswords();
  for (std::size_t i = 0;; ++i) {
    try {
      return ReadEverything(bytes, i == 0 ? std::string() : passwords[i - 1]);
    } catch (const source::SourceError& error) {
      if (i == passwords.size() || error.Description() != "Not a valid password.") throw;
    }
  }
}

}  // namespace bracken::fuzzing
