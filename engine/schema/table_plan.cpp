#include "engine/schema/table_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <tuple>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/rows/ole_files.h"
#include "engine/run_report.h"
#include "engine/schema/key_clauses.h"
#include "engine/schema/name_spelling.h"
#include "engine/schema/type_mapping.h"

namespace bracken::engine {

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsVarchar(const std::string& type) { return StartsWith(type, "VARCHAR("); }

// A column whose name had to change, with the reason for the report.
std::string RenameReason(const std::string& name) {
  return !name.empty() && LegalSpelling(name, "") == name
             ? "another column of the table has that name in MySQL"
             : "MySQL does not accept the name as it is";
}

// The columns in the table's own order, so that of two names the server
// cannot tell apart the first keeps its spelling.
void PlanColumns(ConversionOwner& owner, ConversionContext& context, RowSource& rows,
                 TablePlan& plan) {
  NameRegistry names(true);
  const long count = rows.FieldCount();
  for (long i = 0; i < count; ++i) {
    const ColumnDescription column = rows.Field(i);
    ColumnPlan planned;
    planned.sourceName = column.name;
    planned.targetName = names.Claim(column.name, "Column" + std::to_string(i + 1));
    planned.typeText =
        MapColumnType(column.type, column.definedSize, column.numericScale, column.precision);
    if (planned.targetName != column.name) {
      Report(owner, context.summary,
             "Table " + Bracketed(plan.sourceName) + ", column " + Bracketed(column.name) +
                 " is created as " + Bracketed(planned.targetName) + " (" +
                 RenameReason(column.name) + ").");
    }
    if (column.type == source::adLongVarBinary && context.oleObjects == OleObjects::Files) {
      planned.fileNameColumn = planned.fileTypeColumn = "-";  // named below
    }
    plan.columns.push_back(std::move(planned));
  }
  // The columns beside OLE Object columns stored as files take what names
  // the file's own columns leave.
  for (ColumnPlan& column : plan.columns) {
    if (!column.OleFiles()) continue;
    for (auto [name, suffix, what] :
         {std::tuple{&column.fileNameColumn, kOleFileNameSuffix, "names"},
          std::tuple{&column.fileTypeColumn, kOleFileTypeSuffix, "MIME types"}}) {
      const std::string wanted = column.targetName + suffix;
      *name = names.Claim(wanted, "");
      if (*name == wanted) continue;
      Report(owner, context.summary,
             "Table " + Bracketed(plan.sourceName) + ", column " + Bracketed(column.sourceName) +
                 ": the " + what + " of its files go to column " + Bracketed(*name) + " (" +
                 RenameReason(wanted) + ").");
    }
  }
  for (ColumnPlan& column : plan.columns) {
    ColumnFlags flags = context.source.Flags(plan.sourceName, column.sourceName);
    column.hyperlink = flags.hyperlink;
    column.richText = flags.richText;
  }
}

std::set<std::string> KeyColumns(ConversionContext& context, const std::string& table) {
  std::set<std::string> names;
  long count = context.source.IndexCount(table);
  for (long i = 0; i < count; ++i) {
    for (std::string& name : context.source.Index(table, i).columns) names.insert(std::move(name));
  }
  return names;
}

bool HasFourByteCharacter(const std::string& utf8) {
  return std::any_of(utf8.begin(), utf8.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0xF0; });
}

// The columns of one row a scan looks into; nullptr for the others.
struct ScannedColumns {
  std::vector<ColumnPlan*> text, real;
};

void ScanRow(RowSource& rows, const ScannedColumns& scanned) {
  for (long i = 0; i < static_cast<long>(scanned.text.size()); ++i) {
    ColumnPlan* column = scanned.text[static_cast<std::size_t>(i)];
    if (column == nullptr || column->extendedCharacters || rows.ActualSize(i) <= 0) continue;
    column->extendedCharacters = HasFourByteCharacter(rows.Value(i).Bytes());
  }
  for (long i = 0; i < static_cast<long>(scanned.real.size()); ++i) {
    ColumnPlan* column = scanned.real[static_cast<std::size_t>(i)];
    if (column == nullptr || column->holdsNonFinite || rows.ActualSize(i) <= 0) continue;
    column->holdsNonFinite = !std::isfinite(rows.Value(i).ToDouble());
  }
}

// One pass over the rows: which text columns hold characters above U+FFFF,
// which floating-point columns hold values MySQL cannot store. A row with a
// value that cannot be read is passed over (the copy leaves it out and names
// it), so the rows after it still count. Returns the rows found.
long ScanRows(RowSource& rows, TablePlan& plan) {
  const long count = rows.FieldCount();
  ScannedColumns scanned;
  for (long i = 0; i < count; ++i) {
    ColumnDescription field = rows.Field(i);
    ColumnPlan* column = plan.Find(field.name);
    if (column == nullptr) continue;
    if (field.type == source::adVarWChar || field.type == source::adLongVarWChar) {
      scanned.text.resize(static_cast<std::size_t>(count), nullptr);
      scanned.text[static_cast<std::size_t>(i)] = column;
    } else if (field.type == source::adSingle || field.type == source::adDouble) {
      scanned.real.resize(static_cast<std::size_t>(count), nullptr);
      scanned.real[static_cast<std::size_t>(i)] = column;
    }
  }
  long found = 0;
  for (; !rows.Eof(); rows.MoveNext()) {
    ++found;
    try {
      ScanRow(rows, scanned);
    } catch (const source::SourceError&) {
      // Named by the copy, where the row is left out.
    }
  }
  return found;
}

long RowBytes(const TablePlan& plan) {
  long bytes = 1 + (static_cast<long>(plan.columns.size()) + 7) / 8;  // flags and null bits
  for (const ColumnPlan& column : plan.columns) {
    bytes += ColumnRowBytes(column.typeText, column.extendedCharacters);
    if (column.OleFiles()) {
      bytes += ColumnRowBytes(kOleFileNameType, false) + ColumnRowBytes(kOleFileTypeType, false);
    }
  }
  return bytes;
}

// Bytes a column takes inside an InnoDB row of the DYNAMIC format: text of
// up to 255 bytes stays in the row with its length byte; longer text, TEXT
// and BLOB go to pages of their own and leave a 20-byte pointer and a length.
long InnoDbColumnBytes(const ColumnPlan& column) {
  const std::string& type = column.typeText;
  if (IsVarchar(type) || StartsWith(type, "CHAR(")) {
    const long bytes = ColumnRowBytes(type, column.extendedCharacters) - (IsVarchar(type) ? 1 : 0);
    return bytes <= 255 ? bytes + 1 : kInnoDbLongColumnBytes;
  }
  if (type.find("TEXT") != std::string::npos || type.find("BLOB") != std::string::npos) {
    return kInnoDbLongColumnBytes;
  }
  return KeyPartBytes(type, 0);
}

// A record's header, the null bits and the system columns (transaction id,
// roll pointer, row id) besides the columns.
long InnoDbRowBytes(const TablePlan& plan) {
  long bytes = 5 + (static_cast<long>(plan.columns.size()) + 7) / 8 + 19;
  for (const ColumnPlan& column : plan.columns) {
    bytes += InnoDbColumnBytes(column);
    if (column.OleFiles()) bytes += 2 * kInnoDbLongColumnBytes;  // two VARCHARs of over 255 bytes
  }
  return bytes;
}

long MyIsamColumnBytes(const ColumnPlan& column) {
  return ColumnRowBytes(column.typeText, column.extendedCharacters);
}

// One engine's measure of a row and of its columns, and its limit.
struct RowLimit {
  long (*rowBytes)(const TablePlan&);
  long (*columnBytes)(const ColumnPlan&);
  long maxBytes;
  // A VARCHAR whose measure is at most this frees nothing as TEXT.
  long widenedBytes;
  const char* name;  // "MySQL's limit of 65535 bytes"
};

constexpr RowLimit kMyIsamRow{RowBytes, MyIsamColumnBytes, kMaxRowBytes, 0,
                              "MySQL's limit of 65535 bytes"};
constexpr RowLimit kInnoDbRow{InnoDbRowBytes, InnoDbColumnBytes, kMaxInnoDbRowBytes,
                              kInnoDbLongColumnBytes, "InnoDB's limit of 8126 bytes"};

// The VARCHAR whose widening frees the most of a row, preferring columns
// outside every key and, among equals, the later ones; nullptr when no
// widening frees anything.
ColumnPlan* WidestVarchar(TablePlan& plan, const std::set<std::string>& keyColumns,
                          const RowLimit& limit) {
  ColumnPlan* widest = nullptr;
  auto rank = [&](const ColumnPlan& column) {
    return std::make_pair(keyColumns.count(column.sourceName) == 0, limit.columnBytes(column));
  };
  for (ColumnPlan& column : plan.columns) {
    if (!IsVarchar(column.typeText) || limit.columnBytes(column) <= limit.widenedBytes) continue;
    if (widest == nullptr || rank(column) >= rank(*widest)) widest = &column;
  }
  return widest;
}

// Widens VARCHARs to TEXT, the widest first, until a row fits `limit`.
void FitRow(ConversionOwner& owner, ConversionContext& context, TablePlan& plan,
            const std::set<std::string>& keyColumns, const RowLimit& limit) {
  while (limit.rowBytes(plan) > limit.maxBytes) {
    ColumnPlan* column = WidestVarchar(plan, keyColumns, limit);
    if (column == nullptr) return;  // the server's own message will say why
    Report(owner, context.summary,
           "Table " + Bracketed(plan.sourceName) + ", column " + Bracketed(column->sourceName) +
               " is created as TEXT instead of " + column->typeText + ", so that a row fits " +
               limit.name + ".");
    column->typeText = "TEXT";
  }
}

}  // namespace

const ColumnPlan* TablePlan::Find(const std::string& name) const {
  for (const ColumnPlan& column : columns) {
    if (column.sourceName == name) return &column;
  }
  return nullptr;
}

ColumnPlan* TablePlan::Find(const std::string& name) {
  return const_cast<ColumnPlan*>(static_cast<const TablePlan&>(*this).Find(name));
}

const std::string& TablePlan::TargetName(const std::string& name) const {
  const ColumnPlan* column = Find(name);
  return column != nullptr ? column->targetName : name;
}

long ColumnRowBytes(const std::string& typeText, bool extendedCharacters) {
  const long perCharacter = extendedCharacters ? 4 : 3;
  if (StartsWith(typeText, "VARCHAR(") || StartsWith(typeText, "CHAR(")) {
    long characters = std::atol(typeText.c_str() + typeText.find('(') + 1);
    long bytes = characters * perCharacter;
    return bytes + (IsVarchar(typeText) ? (bytes > 255 ? 2 : 1) : 0);
  }
  if (typeText == "TINYBLOB") return 1 + 8;
  if (typeText == "LONGTEXT" || typeText == "LONGBLOB") return 4 + 8;
  if (typeText == "TEXT" || typeText == "BLOB") return 2 + 8;
  return KeyPartBytes(typeText, 0);
}

TablePlan PlanTable(ConversionOwner& owner, ConversionContext& context, const std::string& table,
                    NameRegistry& tableNames) {
  TablePlan plan;
  plan.sourceName = table;
  const auto given = context.givenTableNames.find(table);
  plan.targetName =
      given != context.givenTableNames.end() ? given->second : tableNames.Claim(table, "Table");
  if (plan.targetName != table) {
    bool legal = !table.empty() && LegalSpelling(table, "") == table;
    Report(owner, context.summary,
           "Table " + Bracketed(table) + " is created as " + Bracketed(plan.targetName) + " (" +
               (legal ? "another table has that name in MySQL"
                      : "MySQL does not accept the name as it is") +
               ").");
  }
  std::set<std::string> keyColumns;
  try {
    std::unique_ptr<RowSource> rows = context.source.OpenRows(table);
    PlanColumns(owner, context, *rows, plan);
    keyColumns = KeyColumns(context, table);
    owner.TableRowsFound(table, ScanRows(*rows, plan));
    for (ColumnPlan& column : plan.columns) {
      // Joined by a relationship to a column that needs utf8mb4.
      if (context.extendedRelationshipColumns.count({table, column.sourceName}) > 0) {
        column.extendedCharacters = true;
      }
    }
  } catch (const source::SourceError&) {
    // Reported where the table's keys, columns or rows are read.
  }
  FitRow(owner, context, plan, keyColumns, kMyIsamRow);
  if (context.engine == TableEngine::InnoDB) FitRow(owner, context, plan, keyColumns, kInnoDbRow);
  return plan;
}

}  // namespace bracken::engine
