// bracken-cli inspect: what the reader sees in an Access file, as a readable
// summary or as one JSON object with every user table, its columns, indexes
// and rows, and what of a damaged file it cannot read.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/access_password.h"
#include "cli/command.h"
#include "cli/exit_status.h"
#include "cli/terminal_prompt.h"
#include "engine/run_report.h"
#include "source/date_serial.h"
#include "source/ole/ole_content.h"
#include "source/source_access.h"
#include "target/secret_memory.h"

namespace bracken::cli {

namespace {

using source::Variant;

constexpr char kHelp[] =
    "Usage: bracken-cli inspect FILE [--mdb-password P] [--json] [--rows N]\n\n"
    "Shows the user tables of an Access file with their row counts, columns and\n"
    "indexes; the versions of an append-only memo follow their table as a table\n"
    "TABLE_MEMO_history. --json prints one JSON object with every table's columns,\n"
    "indexes and rows; --rows N limits the rows shown per table (a summary shows\n"
    "none unless asked). The file's password comes from --mdb-password P, else the\n"
    "BRACKEN_MDB_PASSWORD environment variable, else a prompt on the terminal when\n"
    "the file asks for one. Control characters in names and values are shown\n"
    "escaped (\\x1b) in the summary; --json escapes them as JSON does.\n\n"
    "An OLE Object column is followed by how many of its values hold each class\n"
    "of object (\"OLE objects: Paint.Picture 8, Package 2, (damaged) 1\"); the\n"
    "JSON lists every such value as \"oleObjects\" of its table: its row (from 0),\n"
    "column, class and the type of what it embeds (bmp, jpeg, png, gif, tiff,\n"
    "pdf, doc, xls, ppt, docx, xlsx, pptx, zip, package, link or none).\n\n"
    "Parts of a damaged file that cannot be read are named (\"Damage:\" lines;\n"
    "\"damage\" lists in the JSON), and so is a table whose rows found differ from\n"
    "the count its definition keeps (\"Rows:\"; \"storedRows\" and \"rowsFound\").\n\n"
    "The file's own rules are shown as Access keeps them, where there are any: a\n"
    "table's and a column's description, validation rule and validation text, a\n"
    "column's default value (with \"required\" beside them in the JSON), and the\n"
    "relationships between tables with their columns, whether Access enforces them\n"
    "and what they cascade (\"relationships\" in the JSON). Saved queries follow\n"
    "with their kind and their SQL as Access's SQL view shows it (\"queries\" in the\n"
    "JSON, with each query's parameters and their types).\n\n"
    "Exit status: 0 when the whole file was read, 1 when anything is named as\n"
    "above, 2 on a usage error, 3 when the file could not be opened or read (the\n"
    "message goes to standard error).\n";

struct Options {
  std::string file;
  std::optional<std::string> password;
  bool json = false;
  std::optional<long> rows;
};

std::optional<Options> ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--json") {
      options.json = true;
    } else if (arg == "--mdb-password" && i + 1 < args.size()) {
      options.password = args[++i];
    } else if (arg.rfind("--mdb-password=", 0) == 0) {
      options.password = arg.substr(15);
    } else if (arg == "--rows" && i + 1 < args.size()) {
      long n = 0;
      const std::string& text = args[++i];
      auto result = std::from_chars(text.data(), text.data() + text.size(), n);
      if (result.ec != std::errc() || result.ptr != text.data() + text.size() || n < 0) {
        return std::nullopt;
      }
      options.rows = n;
    } else if (options.file.empty() && (arg.empty() || arg[0] != '-')) {
      options.file = arg;
    } else {
      return std::nullopt;
    }
  }
  if (options.file.empty()) return std::nullopt;
  return options;
}

void AppendJsonString(std::string_view text, std::string& out) {
  out.push_back('"');
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

void AppendHex(const std::string& bytes, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (unsigned char b : bytes) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 15]);
  }
}

void AppendJsonDate(double serial, std::string& out) {
  source::DateParts parts;
  if (!source::SplitDateSerial(serial, parts)) {
    out += "null";
    return;
  }
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "\"%04d-%02d-%02d %02d:%02d:%02d\"", parts.year, parts.month,
                parts.day, static_cast<int>(parts.secondOfDay / 3600),
                static_cast<int>(parts.secondOfDay / 60 % 60),
                static_cast<int>(parts.secondOfDay % 60));
  out += buffer;
}

void AppendJsonValue(const Variant& value, std::string& out) {
  switch (value.kind()) {
    case Variant::Kind::Null:
      out += "null";
      return;
    case Variant::Kind::Boolean:
      out += value.ToBool() ? "true" : "false";
      return;
    case Variant::Kind::Single:
    case Variant::Kind::Double:
      if (!std::isfinite(value.ToDouble())) {
        AppendJsonString(value.ToText(), out);
      } else {
        value.AppendText(out);
      }
      return;
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      value.AppendText(out);
      return;
    case Variant::Kind::Date:
      AppendJsonDate(value.ToDouble(), out);
      return;
    case Variant::Kind::Binary:
      out.push_back('"');
      AppendHex(value.Bytes(), out);
      out.push_back('"');
      return;
    default:
      AppendJsonString(value.ToText(), out);
      return;
  }
}

const Variant& ItemValue(const source::ComplexItem& item, const char* name) {
  static const Variant kNull;
  for (const auto& property : item) {
    if (property.Name() == name) return property.Value();
  }
  return kNull;
}

// An attachment cell lists the row's files as {name, type, data}; a
// multi-value cell lists the row's values.
void AppendJsonItems(const source::Field& field, std::string& out) {
  out.push_back('[');
  bool first = true;
  for (const source::ComplexItem& item : field.Items()) {
    if (!first) out.push_back(',');
    first = false;
    if (field.Type() != source::adAttachment) {
      AppendJsonValue(ItemValue(item, "Value"), out);
      continue;
    }
    out += "{\"name\":";
    AppendJsonString(ItemValue(item, "FileName").ToText(), out);
    out += ",\"type\":";
    AppendJsonString(ItemValue(item, "FileType").ToText(), out);
    out += ",\"data\":\"";
    AppendHex(ItemValue(item, "FileData").Bytes(), out);
    out += "\"}";
  }
  out.push_back(']');
}

void AppendJsonStrings(const std::vector<std::string>& texts, std::string& out);

bool PropertyFlag(const source::Column& column, const char* name) {
  return column.Properties().Item(name).Value().ToBool();
}

// A rule's name and its text as stored, in the order they are shown; only
// the ones the object has.
using Rules = std::vector<std::pair<const char*, std::string>>;

Rules RulesOf(const source::Table& table) {
  Rules rules;
  if (std::string text = table.Description(); !text.empty())
    rules.emplace_back("description", text);
  if (std::string text = table.ValidationRule(); !text.empty()) {
    rules.emplace_back("validationRule", text);
  }
  if (std::string text = table.ValidationText(); !text.empty()) {
    rules.emplace_back("validationText", text);
  }
  return rules;
}

Rules RulesOf(const source::Column& column) {
  Rules rules;
  if (std::string text = column.DefaultValue(); !text.empty()) rules.emplace_back("default", text);
  if (std::string text = column.ValidationRule(); !text.empty()) {
    rules.emplace_back("validationRule", text);
  }
  if (std::string text = column.ValidationText(); !text.empty()) {
    rules.emplace_back("validationText", text);
  }
  if (std::string text = column.Description(); !text.empty()) {
    rules.emplace_back("description", text);
  }
  return rules;
}

void AppendJsonRules(const Rules& rules, std::string& out) {
  for (const auto& [key, text] : rules) {
    out += ",\"";
    out += key;
    out += "\":";
    AppendJsonString(text, out);
  }
}

// What the summary calls each rule.
const char* RuleLabel(std::string_view key) {
  if (key == "default") return "Default";
  if (key == "validationRule") return "Validation rule";
  if (key == "validationText") return "Validation text";
  return "Description";
}

void WriteSummaryRules(const Rules& rules, const char* indent) {
  for (const auto& [key, text] : rules) {
    std::cout << indent << RuleLabel(key) << ": " << EscapeControls(text) << "\n";
  }
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
  return joined;
}

void AppendJsonRelationships(const source::Catalog& catalog, std::string& out) {
  const auto& relationships = catalog.Relationships();
  if (relationships.empty()) return;
  out += ",\"relationships\":[";
  for (size_t i = 0; i < relationships.size(); ++i) {
    const source::Relationship& r = relationships[i];
    if (i > 0) out.push_back(',');
    out += "{\"name\":";
    AppendJsonString(r.name, out);
    out += ",\"table\":";
    AppendJsonString(r.table, out);
    out += ",\"columns\":";
    AppendJsonStrings(r.columns, out);
    out += ",\"referencedTable\":";
    AppendJsonString(r.referencedTable, out);
    out += ",\"referencedColumns\":";
    AppendJsonStrings(r.referencedColumns, out);
    out += std::string(",\"enforced\":") + (r.Enforced() ? "true" : "false");
    out += std::string(",\"cascadeUpdates\":") + (r.CascadeUpdates() ? "true" : "false");
    out += std::string(",\"cascadeDeletes\":") + (r.CascadeDeletes() ? "true" : "false");
    out += std::string(",\"cascadeNull\":") + (r.CascadeNull() ? "true" : "false");
    out.push_back('}');
  }
  out.push_back(']');
}

void AppendJsonQueries(const source::Catalog& catalog, std::string& out) {
  const auto& queries = catalog.Queries();
  if (queries.empty()) return;
  out += ",\"queries\":[";
  for (size_t i = 0; i < queries.size(); ++i) {
    const source::Query& q = queries[i];
    if (i > 0) out.push_back(',');
    out += "{\"name\":";
    AppendJsonString(q.name, out);
    out += ",\"kind\":";
    AppendJsonString(source::QueryKindName(q.Kind()), out);
    out += ",\"sql\":";
    AppendJsonString(q.sql, out);
    out += ",\"parameters\":[";
    for (size_t p = 0; p < q.definition.parameters.size(); ++p) {
      if (p > 0) out.push_back(',');
      out += "{\"name\":";
      AppendJsonString(q.definition.parameters[p].name, out);
      out += ",\"type\":";
      AppendJsonString(q.definition.parameters[p].type, out);
      out.push_back('}');
    }
    out += "]}";
  }
  out.push_back(']');
}

// Each query's kind, then its SQL a line at a time.
void WriteSummaryQueries(const source::Catalog& catalog) {
  const auto& queries = catalog.Queries();
  if (queries.empty()) return;
  std::cout << "Queries:\n";
  for (const source::Query& q : queries) {
    std::cout << "  " << EscapeControls(q.name) << "  " << source::QueryKindName(q.Kind()) << "\n";
    std::string_view sql = q.sql;
    while (!sql.empty()) {
      size_t end = sql.find('\n');
      std::string_view line = sql.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      std::cout << "    " << EscapeControls(std::string(line)) << "\n";
      sql = end == std::string_view::npos ? std::string_view() : sql.substr(end + 1);
    }
  }
}

void WriteSummaryRelationships(const source::Catalog& catalog) {
  const auto& relationships = catalog.Relationships();
  if (relationships.empty()) return;
  std::cout << "Relationships:\n";
  for (const source::Relationship& r : relationships) {
    std::cout << "  " << EscapeControls(r.name) << "  " << EscapeControls(r.table) << " ("
              << EscapeControls(JoinNames(r.columns)) << ") refers to "
              << EscapeControls(r.referencedTable) << " ("
              << EscapeControls(JoinNames(r.referencedColumns)) << ")"
              << (r.Enforced() ? "  enforced" : "  not enforced")
              << (r.CascadeUpdates() ? "  cascade updates" : "")
              << (r.CascadeDeletes() ? "  cascade deletes" : "")
              << (r.CascadeNull() ? "  cascade to null" : "") << "\n";
  }
}

void AppendJsonColumns(const source::Table& table, const source::Fields& fields, std::string& out) {
  out += "\"columns\":[";
  for (long i = 0; i < fields.Count(); ++i) {
    source::Field field = fields.Item(i);
    source::Column column = table.Columns().Item(field.Name());
    if (i > 0) out.push_back(',');
    out += "{\"name\":";
    AppendJsonString(field.Name(), out);
    out += ",\"type\":" + std::to_string(field.Type());
    out += ",\"definedSize\":" + std::to_string(field.DefinedSize());
    if (field.Type() == source::adNumeric) {
      out += ",\"precision\":" + std::to_string(field.Precision());
      out += ",\"scale\":" + std::to_string(field.NumericScale());
    }
    out += std::string(",\"nullable\":") + (PropertyFlag(column, "Nullable") ? "true" : "false");
    out += std::string(",\"autoincrement\":") +
           (PropertyFlag(column, "Autoincrement") ? "true" : "false");
    // Required beside the rules only: a column without any stays as it was.
    if (Rules rules = RulesOf(column); !rules.empty()) {
      AppendJsonRules(rules, out);
      out += std::string(",\"required\":") + (column.Required() ? "true" : "false");
    }
    out.push_back('}');
  }
  out.push_back(']');
}

void AppendJsonIndexes(const source::Table& table, std::string& out) {
  out += "\"indexes\":[";
  source::Indexes indexes = table.Indexes();
  for (long i = 0; i < indexes.Count(); ++i) {
    source::Index index = indexes.Item(i);
    if (i > 0) out.push_back(',');
    out += "{\"name\":";
    AppendJsonString(index.Name(), out);
    out += std::string(",\"primaryKey\":") + (index.PrimaryKey() ? "true" : "false");
    out += std::string(",\"unique\":") + (index.Unique() ? "true" : "false");
    out += ",\"columns\":[";
    source::Columns columns = index.Columns();
    for (long c = 0; c < columns.Count(); ++c) {
      if (c > 0) out.push_back(',');
      AppendJsonString(columns.Item(c).Name(), out);
    }
    out += "]}";
  }
  out.push_back(']');
}

// What a reading of the table names beyond its rows: the parts of its
// definition and of its rows that cannot be read, and the rows found against
// the count its definition keeps.
struct TableReading {
  std::vector<std::string> damage;
  long stored = -1;
  long found = 0;

  std::string RowCount() const { return engine::RowCountNote(found, stored); }
  bool Named() const { return !damage.empty() || !RowCount().empty(); }
};

// Reads the rest of the table, past a row limit, for its count and damage.
void FinishReading(const source::Table& table, source::Recordset& recordset,
                   TableReading& reading) {
  for (; !recordset.Eof(); recordset.MoveNext()) ++reading.found;
  reading.damage = table.Damage();
  for (std::string& note : recordset.Damage()) reading.damage.push_back(std::move(note));
  reading.stored = table.StoredRowCount();
}

// Opens the table's rows. A table whose definition cannot be read does not
// open: false, with its notes in `reading`; other failures end the command.
bool OpenRows(const source::Catalog& catalog, const source::Table& table,
              source::Recordset& recordset, TableReading& reading) {
  try {
    recordset.Open("SELECT * FROM [" + table.Name() + "]", catalog);
    return true;
  } catch (const source::SourceError&) {
    if (table.Damage().empty()) throw;
    reading.damage = table.Damage();
    return false;
  }
}

void AppendJsonStrings(const std::vector<std::string>& texts, std::string& out) {
  out.push_back('[');
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out.push_back(',');
    AppendJsonString(texts[i], out);
  }
  out.push_back(']');
}

// Only what there is to name: a sound table's JSON has none of these.
void AppendJsonReading(const TableReading& reading, std::string& out) {
  if (!reading.RowCount().empty()) {
    out += ",\"storedRows\":" + std::to_string(reading.stored);
    out += ",\"rowsFound\":" + std::to_string(reading.found);
  }
  if (!reading.damage.empty()) {
    out += ",\"damage\":";
    AppendJsonStrings(reading.damage, out);
  }
}

// The child tables of a table that no cell of it shows, listed after it as
// tables of their own: the versions of append-only memos. (Attachment and
// multi-value cells show their elements themselves.)
std::vector<source::Table> ListedChildTables(const source::Catalog& catalog,
                                             const source::Table& table) {
  std::vector<source::Table> children;
  source::Tables tables = catalog.Tables();
  for (long t = 0; t < tables.Count(); ++t) {
    source::Table child = tables.Item(t);
    if (child.Type() != "CHILD TABLE" ||
        child.Properties().Item("ParentTable").Value().ToText() != table.Name()) {
      continue;
    }
    const std::string column = child.Properties().Item("ParentColumn").Value().ToText();
    source::Columns columns = table.Columns();
    bool shownInCells = false;
    for (long c = 0; c < columns.Count(); ++c) {
      shownInCells = shownInCells || (columns.Item(c).Name() == column &&
                                      source::IsComplexTypeCode(columns.Item(c).Type()));
    }
    if (!shownInCells) children.push_back(child);
  }
  return children;
}

// Whether a field is an OLE Object column (Access's long binary).
bool IsOleField(const source::Field& field) { return field.Type() == source::adLongVarBinary; }

// One OLE value of the JSON's "oleObjects": what is inside it.
void AppendJsonOleObject(long row, const source::Field& field, const Variant& value,
                         std::string& out) {
  const source::ole::OleContent content = source::ole::ReadOleContent(value.Bytes());
  out += out.empty() ? "" : ",";
  out += "{\"row\":" + std::to_string(row) + ",\"column\":";
  AppendJsonString(field.Name(), out);
  out += ",\"class\":";
  AppendJsonString(content.className, out);
  out += ",\"embeddedType\":";
  AppendJsonString(content.embeddedType, out);
  if (content.state == source::ole::OleState::Damaged) out += ",\"damaged\":true";
  if (content.state == source::ole::OleState::Empty) out += ",\"empty\":true";
  out.push_back('}');
}

// Rows go straight to standard output as they are read; what the OLE values
// among them hold is gathered in `oleObjects`.
long WriteJsonRows(source::Recordset& recordset, std::optional<long> limit, std::string& out,
                   std::string& oleObjects) {
  out += "\"rows\":[";
  source::Fields fields = recordset.Fields();
  long count = 0;
  for (; !recordset.Eof() && (!limit || count < *limit); recordset.MoveNext(), ++count) {
    if (count > 0) out.push_back(',');
    out.push_back('[');
    for (long i = 0; i < fields.Count(); ++i) {
      if (i > 0) out.push_back(',');
      source::Field field = fields.Item(i);
      if (source::IsComplexTypeCode(field.Type())) {
        AppendJsonItems(field, out);
      } else {
        const Variant value = field.Value();
        AppendJsonValue(value, out);
        if (IsOleField(field) && !value.IsNull())
          AppendJsonOleObject(count, field, value, oleObjects);
      }
    }
    out.push_back(']');
    if (out.size() > (1 << 16)) {
      std::cout << out;
      out.clear();
    }
  }
  out.push_back(']');
  return count;
}

// True when anything was named.
bool WriteJson(const source::Catalog& catalog, const Options& options) {
  auto database = catalog.Database();
  std::string out = "{\"format\":\"";
  out += catalog.FormatName();
  out += "\",";
  bool named = !catalog.Damage().empty();
  if (named) {
    out += "\"damage\":";
    AppendJsonStrings(catalog.Damage(), out);
    out.push_back(',');
  }
  out += "\"tables\":[";
  source::Tables tables = catalog.Tables();
  std::vector<source::Table> listed;
  for (long t = 0; t < tables.Count(); ++t) {
    source::Table table = tables.Item(t);
    if (table.Type() != "TABLE") continue;
    listed.push_back(table);
    for (const source::Table& child : ListedChildTables(catalog, table)) listed.push_back(child);
  }
  bool first = true;
  for (const source::Table& table : listed) {
    source::Recordset recordset;
    TableReading reading;
    const bool opened = OpenRows(catalog, table, recordset, reading);
    if (!first) out.push_back(',');
    first = false;
    out += "{\"name\":";
    AppendJsonString(table.Name(), out);
    if (opened) {
      out.push_back(',');
      AppendJsonColumns(table, recordset.Fields(), out);
      out.push_back(',');
      AppendJsonIndexes(table, out);
      AppendJsonRules(RulesOf(table), out);
      out.push_back(',');
      std::string oleObjects;
      reading.found = WriteJsonRows(recordset, options.rows, out, oleObjects);
      if (!oleObjects.empty()) out += ",\"oleObjects\":[" + oleObjects + "]";
      FinishReading(table, recordset, reading);
    } else {
      out += ",\"columns\":[],\"indexes\":[],\"rows\":[]";
    }
    AppendJsonReading(reading, out);
    named |= reading.Named();
    out.push_back('}');
  }
  out.push_back(']');
  AppendJsonRelationships(catalog, out);
  AppendJsonQueries(catalog, out);
  out += "}\n";
  std::cout << out;
  return named;
}

void WriteSummaryRows(source::Recordset& recordset, long limit) {
  source::Fields fields = recordset.Fields();
  for (long n = 0; n < limit && !recordset.Eof(); ++n, recordset.MoveNext()) {
    std::string line = "    row " + std::to_string(n + 1) + ":";
    for (long i = 0; i < fields.Count(); ++i) {
      source::Field field = fields.Item(i);
      line += (i == 0 ? " " : " | ");
      Variant value = field.Value();
      if (value.IsNull()) {
        line += "NULL";
      } else if (value.kind() == Variant::Kind::Binary) {
        line += "0x";
        AppendHex(value.Bytes(), line);
      } else {
        std::string text;
        value.AppendText(text);
        line += EscapeControls(text);
      }
    }
    std::cout << line << "\n";
  }
}

// Per OLE Object column (by field index): each class its values hold, with
// how many hold it, in the order first met.
using OleClassCounts = std::vector<std::pair<std::string, long>>;

std::vector<OleClassCounts> CountOleClasses(const source::Catalog& catalog,
                                            const source::Table& table) {
  source::Recordset recordset;
  recordset.Open("SELECT * FROM [" + table.Name() + "]", catalog);
  source::Fields fields = recordset.Fields();
  std::vector<OleClassCounts> counts(static_cast<std::size_t>(fields.Count()));
  std::vector<long> oleFields;
  for (long i = 0; i < fields.Count(); ++i) {
    if (IsOleField(fields.Item(i))) oleFields.push_back(i);
  }
  auto count = [&](long i, const std::string& label) {
    OleClassCounts& column = counts[static_cast<std::size_t>(i)];
    auto known = std::find_if(column.begin(), column.end(),
                              [&](const auto& entry) { return entry.first == label; });
    if (known == column.end()) {
      column.emplace_back(label, 1);
    } else {
      ++known->second;
    }
  };
  if (oleFields.empty()) return counts;
  try {
    for (; !recordset.Eof(); recordset.MoveNext()) {
      for (long i : oleFields) {
        // A value the file cannot give is counted as such; the summary goes on.
        std::string label;
        try {
          const Variant value = fields.Item(i).Value();
          if (value.IsNull()) continue;
          label = source::ole::OleClassLabel(source::ole::ReadOleContent(value.Bytes()));
        } catch (const source::SourceError&) {
          label = "(unreadable)";
        }
        count(i, label);
      }
    }
  } catch (const source::SourceError&) {
    // Rows past a break are not counted; the table's reading names the break.
  }
  return counts;
}

void WriteSummaryOleClasses(const OleClassCounts& counts) {
  if (counts.empty()) return;
  std::string line = "      OLE objects:";
  for (std::size_t i = 0; i < counts.size(); ++i) {
    line += (i == 0 ? " " : ", ") + counts[i].first + " " + std::to_string(counts[i].second);
  }
  std::cout << EscapeControls(line) << "\n";
}

void WriteSummaryReading(const TableReading& reading) {
  for (const std::string& note : reading.damage) {
    std::cout << "  Damage: " << EscapeControls(note) << ".\n";
  }
  if (!reading.RowCount().empty()) std::cout << "  Rows: " << reading.RowCount() << ".\n";
}

// True when anything was named.
bool WriteSummaryTable(const source::Catalog& catalog, const source::Table& table,
                       const Options& options) {
  source::Recordset counter;
  TableReading reading;
  if (!OpenRows(catalog, table, counter, reading)) {
    std::cout << "Table " << EscapeControls(table.Name()) << "\n";
    WriteSummaryReading(reading);
    return true;
  }
  FinishReading(table, counter, reading);
  std::cout << "Table " << EscapeControls(table.Name()) << " (" << reading.found << " rows)\n";
  WriteSummaryReading(reading);
  WriteSummaryRules(RulesOf(table), "  ");
  std::cout << "  Columns:\n";
  const std::vector<OleClassCounts> oleClasses = CountOleClasses(catalog, table);
  source::Recordset recordset;
  recordset.Open("SELECT * FROM [" + table.Name() + "]", catalog);
  source::Fields fields = recordset.Fields();
  for (long i = 0; i < fields.Count(); ++i) {
    source::Field field = fields.Item(i);
    source::Column column = table.Columns().Item(field.Name());
    std::cout << "    " << EscapeControls(field.Name()) << "  type " << field.Type() << "  size "
              << field.DefinedSize();
    if (field.Type() == source::adNumeric) {
      std::cout << "  precision " << int{field.Precision()} << "  scale "
                << int{field.NumericScale()};
    }
    std::cout << (PropertyFlag(column, "Nullable") ? "  nullable" : "  not null")
              << (PropertyFlag(column, "Autoincrement") ? "  auto-increment" : "") << "\n";
    WriteSummaryRules(RulesOf(column), "      ");
    WriteSummaryOleClasses(oleClasses[static_cast<std::size_t>(i)]);
  }
  source::Indexes indexes = table.Indexes();
  std::cout << "  Indexes:" << (indexes.Count() == 0 ? " none" : "") << "\n";
  for (long i = 0; i < indexes.Count(); ++i) {
    source::Index index = indexes.Item(i);
    std::cout << "    " << EscapeControls(index.Name())
              << (index.PrimaryKey() ? "  primary key" : "") << (index.Unique() ? "  unique" : "")
              << "  (";
    source::Columns columns = index.Columns();
    for (long c = 0; c < columns.Count(); ++c) {
      std::cout << (c > 0 ? ", " : "") << EscapeControls(columns.Item(c).Name());
    }
    std::cout << ")\n";
  }
  if (options.rows && *options.rows > 0) {
    std::cout << "  Rows:\n";
    WriteSummaryRows(recordset, *options.rows);
  }
  return reading.Named();
}

// True when anything was named.
bool WriteSummary(const source::Catalog& catalog, const Options& options) {
  std::string format = catalog.FormatName();  // "Jet4" is shown as "Jet 4"
  format.insert(format.find_first_of("0123456789"), " ");
  std::cout << "File " << EscapeControls(options.file) << " (" << format << ")\n";
  for (const std::string& note : catalog.Damage()) {
    std::cout << "  Damage: " << EscapeControls(note) << "\n";
  }
  bool named = !catalog.Damage().empty();
  source::Tables tables = catalog.Tables();
  for (long t = 0; t < tables.Count(); ++t) {
    source::Table table = tables.Item(t);
    if (table.Type() != "TABLE") continue;
    named |= WriteSummaryTable(catalog, table, options);
    for (const source::Table& child : ListedChildTables(catalog, table)) {
      named |= WriteSummaryTable(catalog, child, options);
    }
  }
  WriteSummaryRelationships(catalog);
  WriteSummaryQueries(catalog);
  return named;
}

int RunInspect(const std::vector<std::string>& args) {
  std::optional<Options> options = ParseOptions(args);
  if (!options) {
    std::cerr << kHelp;
    return kExitUsage;
  }
  std::optional<std::string> password = GivenAccessPassword(options->password);
  target::WipeSecret(options->password);
  try {
    source::Catalog catalog;
    try {
      std::string connectionText = OpenAccessFile(catalog, options->file, password);
      // Inspect reads the open file only.
      target::WipeSecret(connectionText);
    } catch (const source::SourceError&) {
      target::WipeSecret(password);
      throw;
    }
    target::WipeSecret(password);
    const bool named =
        options->json ? WriteJson(catalog, *options) : WriteSummary(catalog, *options);
    std::cout.flush();
    return named ? kExitIncomplete : kExitSuccess;
  } catch (const source::SourceError& error) {
    std::cout.flush();
    std::cerr << "bracken-cli inspect: " << EscapeControls(error.Description()) << "\n";
    return kExitFailed;
  }
}

const CommandRegistration kInspect(Command{
    "inspect", "Show the tables, columns, indexes and rows of an Access file", kHelp, RunInspect});

}  // namespace

}  // namespace bracken::cli
