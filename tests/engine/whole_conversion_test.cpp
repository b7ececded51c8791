// Whole conversions into the test server: every corpus file converts without
// a refused statement, and every value read back equals the reference dump.
// Attachment and multi-value cells are compared through their child tables:
// the elements stored under a row's set number must be the row's list. The
// reference's own gaps are left out: tables it could not read ("error"),
// columns it decodes wrongly ("unchecked") and files without a dump.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/rows/value_cleanup.h"
#include "engine/schema/identifier.h"
#include "engine/source_connection.h"
#include "target/mysql_connection.h"
#include "tests/engine/server_conversion.h"
#include "tests/support/json_value.h"
#include "tests/support/server_query.h"

namespace bracken::engine {
namespace {

namespace fs = std::filesystem;
using testing::JsonValue;

// The select expression that shows a column's value as comparable text.
std::string Shown(const std::string& column, int type) {
  std::string quoted = QuoteIdentifier(column);
  switch (type) {
    case 11:
      return "CAST(" + quoted + " AS UNSIGNED)";
    case 72:
    case 128:
    case 204:
    case 205:
      return "LOWER(HEX(" + quoted + "))";
    case 4:
      return "CAST(" + quoted + " AS DOUBLE)";
    default:
      return quoted;
  }
}

std::string DecimalText(std::string text) {
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text == "-0" ? "0" : text;
}

std::string FloatText(double value, bool single) {
  char buffer[64];
  if (single) value = static_cast<float>(value);
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

bool IsText(int type) { return type == 202 || type == 203 || type == 130 || type == 200; }

// Attachments (101) and multi-value columns (102 to 109).
bool IsComplex(int type) { return type >= 101 && type <= 109; }

// Date/Time Extended keeps six of its seven fraction digits.
std::string MicrosecondText(const std::string& text) {
  return text.size() > 26 && text[19] == '.' ? text.substr(0, 26) : text;
}

// One element of a complex cell as comparable text: an attachment's name,
// type and bytes in hex, or a multi-value element's value.
std::string ElementText(const JsonValue& element) {
  if (element.kind != JsonValue::Kind::Object) return element.text;
  return element["name"].text + "|" + element["type"].text + "|" + element["data"].text;
}

// A complex cell: its elements sorted, each ended by a newline.
std::string ElementsText(std::vector<std::string> elements) {
  std::sort(elements.begin(), elements.end());
  std::string text;
  for (const std::string& element : elements) text += element + "\n";
  return text;
}

// What the server should hold for a value of the reference dump. Texts lose
// hyperlink and rich-text markup and a null text becomes '' (except in a
// UNIQUE key, where nulls stay NULL); an empty binary value stays empty;
// GUIDs are stored as their text.
std::optional<std::string> Expected(const JsonValue& value, int type, bool inUniqueKey) {
  if (value.IsNull()) {
    return IsText(type) && !inUniqueKey ? std::optional<std::string>("") : std::nullopt;
  }
  switch (type) {
    case 11:
      return value.boolean ? "1" : "0";
    case 4:
    case 5:
      return FloatText(std::stod(value.text), type == 4);
    case 6:
    case 131:
    case 20:
      return DecimalText(value.text);
    case 72: {
      std::string hex;
      for (unsigned char c : value.text) {
        static const char* digits = "0123456789abcdef";
        hex += digits[c >> 4];
        hex += digits[c & 15];
      }
      return hex;
    }
    case 128:
    case 204:
    case 205:
      return value.text;
    case 135:
      return MicrosecondText(value.text);
    default: {
      if (IsComplex(type)) {
        std::vector<std::string> elements;
        for (const JsonValue& element : value.items) elements.push_back(ElementText(element));
        return ElementsText(elements);
      }
      if (value.kind == JsonValue::Kind::Number) return value.text;
      return value.text;
    }
  }
}

std::optional<std::string> Actual(const testing::Cell& cell, int type) {
  if (!cell) return std::nullopt;
  switch (type) {
    case 4:
    case 5:
      return FloatText(std::stod(*cell), type == 4);
    case 6:
    case 131:
    case 20:
      return DecimalText(*cell);
    default:
      return *cell;
  }
}

std::string RowKey(const std::vector<std::optional<std::string>>& row) {
  std::string key;
  for (const auto& cell : row) key += (cell ? "=" + *cell : "NULL") + "\x1f";
  return key;
}

std::set<std::string> UniqueKeyColumns(const source::Catalog& catalog, const std::string& table) {
  std::set<std::string> names;
  source::Indexes indexes = catalog.Tables().Item(table).Indexes();
  for (long i = 0; i < indexes.Count(); ++i) {
    source::Index index = indexes.Item(i);
    if (!index.Unique() || index.PrimaryKey()) continue;
    for (long k = 0; k < index.Columns().Count(); ++k) names.insert(index.Columns().Item(k).Name());
  }
  return names;
}

// The elements of a complex column's child table by set number.
std::map<std::string, std::string> ChildElements(testing::ServerQuery& query,
                                                 const std::string& table,
                                                 const std::string& column, int type) {
  const std::string values =
      type == 101 ? "FileName,FileType,LOWER(HEX(FileData))" : Shown("Value", type - 100);
  std::map<std::string, std::vector<std::string>> sets;
  for (const auto& row : query.Rows("SELECT " + QuoteIdentifier(column) + "," + values + " FROM " +
                                    QuoteIdentifier(table + "_" + column))) {
    std::string element = row[1].value_or("NULL");
    for (std::size_t i = 2; i < row.size(); ++i) element += "|" + row[i].value_or("NULL");
    sets[row[0].value_or("NULL")].push_back(element);
  }
  std::map<std::string, std::string> texts;
  for (auto& [set, elements] : sets) texts[set] = ElementsText(elements);
  return texts;
}

void CompareTable(testing::ServerQuery& query, const JsonValue& table,
                  const std::set<std::string>& uniqueKeyColumns) {
  const std::string name = table["name"].text;
  if (table.members.count("error")) return;  // the reference could not read its rows
  std::vector<JsonValue> columns;
  std::vector<std::size_t> kept;  // each kept column's place in the reference rows
  for (std::size_t i = 0; i < table["columns"].items.size(); ++i) {
    const JsonValue& column = table["columns"].items[i];
    if (column["unchecked"].boolean) continue;
    columns.push_back(column);
    kept.push_back(i);
  }
  std::map<std::size_t, std::map<std::string, std::string>> children;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const int type = std::stoi(columns[i]["type"].text);
    if (IsComplex(type)) children[i] = ChildElements(query, name, columns[i]["name"].text, type);
  }
  std::string select;
  for (const JsonValue& column : columns) {
    select +=
        (select.empty() ? "" : ",") + Shown(column["name"].text, std::stoi(column["type"].text));
  }
  auto rows = query.Rows("SELECT " + select + " FROM " + QuoteIdentifier(name));
  std::vector<std::string> expected, actual;
  for (const JsonValue& row : table["rows"].items) {
    std::vector<std::optional<std::string>> cells;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      cells.push_back(Expected(row.items[kept[i]], std::stoi(columns[i]["type"].text),
                               uniqueKeyColumns.count(columns[i]["name"].text) > 0));
    }
    expected.push_back(RowKey(cells));
  }
  for (const auto& row : rows) {
    std::vector<std::optional<std::string>> cells;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      auto child = children.find(i);
      if (child == children.end()) {
        cells.push_back(Actual(row[i], std::stoi(columns[i]["type"].text)));
      } else {
        // No set number, or one without elements: an empty list.
        cells.push_back(row[i] ? child->second[*row[i]] : std::string());
      }
    }
    actual.push_back(RowKey(cells));
  }
  // Rows may come back in another order than the reference reader lists them.
  std::sort(expected.begin(), expected.end());
  std::sort(actual.begin(), actual.end());
  ASSERT_EQ(actual.size(), expected.size()) << name;
  for (std::size_t r = 0; r < expected.size(); ++r) {
    EXPECT_EQ(actual[r], expected[r]) << "table " << name << " row " << r;
  }
}

std::vector<fs::path> CorpusFiles() {
  std::vector<fs::path> files;
  const fs::path corpus = fs::path(BRACKEN_SHARED_DIR) / "corpus";
  if (!fs::exists(corpus)) return files;
  for (const char* folder : {"jet3", "jet4", "ace"}) {
    for (const auto& entry : fs::directory_iterator(corpus / folder)) {
      const fs::path& path = entry.path();
      if (path.extension() != ".mdb" && path.extension() != ".accdb") continue;
      // A file the reference reader could not dump has nothing to compare.
      if (fs::exists(fs::path(path).replace_extension(".json"))) files.push_back(path);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(WholeConversionTest, EveryCorpusFileArrivesUnchanged) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  auto files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no corpus beside the checkout";
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::string stem = file.stem().string();
    const std::string password = stem.rfind("withPassword", 0) == 0 ? "password" : "";
    const std::string connectionText = BuildConnectionText(file.string(), password);
    source::Catalog catalog;
    catalog.SetActiveConnection(connectionText);
    CatalogSource source(catalog, connectionText);
    std::string database = "eng_c_" + stem;
    std::transform(database.begin(), database.end(), database.begin(), ::tolower);
    std::vector<std::string> tables = ListTableNames(catalog);
    if (tables.empty()) continue;  // a file without tables has nothing to convert
    ServerConversion run = ConvertAll(server, source, tables, database);
    EXPECT_EQ(run.summary.ending, RunEnding::Completed);
    EXPECT_EQ(run.summary.rowsRefused, 0);
    // The default engine, MyISAM, holds no foreign keys: each relationship
    // is named in the report, none counts as lost.
    EXPECT_EQ(run.summary.relationshipsNotCreated, 0);
    const std::string expected =
        catalog.Relationships().empty()
            ? "Message: Bracken database conversion completed successfully."
            : "Report: Bracken database conversion completed successfully.";
    EXPECT_EQ(run.messages, std::vector<std::string>{expected});
    JsonValue reference = testing::ReadJsonFile(fs::path(file).replace_extension(".json").string());
    testing::ServerQuery query(server, database);
    for (const JsonValue& table : reference["tables"].items) {
      CompareTable(query, table, UniqueKeyColumns(catalog, table["name"].text));
    }
    query.Execute("DROP DATABASE " + QuoteIdentifier(database));
  }
}

}  // namespace
}  // namespace bracken::engine
