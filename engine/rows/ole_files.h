#pragma once

// OLE Object columns stored as the files their values hold (the command
// line's --ole-objects files): such a column holds the file's bytes, and two
// columns beside it, `<column>_name` and `<column>_type`, its name and MIME
// type, so that a web page can serve it as it is. A value that holds no file
// that can be taken out keeps its container as Access holds it, with NULL
// beside it, and the report counts such values per column. Convert, verify
// and sync all take the values from here (through ExpectedValue), so the
// three agree on every byte.

#include <optional>
#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/rows/target_value.h"

namespace bracken::engine {

class ConversionOwner;
struct ColumnPlan;
struct TablePlan;

// "raw" or "files" (the command line's --ole-objects); nullopt otherwise.
std::optional<OleObjects> ParseOleObjects(const std::string& text);

inline constexpr const char* kOleFileNameSuffix = "_name";
inline constexpr const char* kOleFileTypeSuffix = "_type";
inline constexpr const char* kOleFileNameType = "VARCHAR(255)";
inline constexpr const char* kOleFileTypeType = "VARCHAR(100)";

// The definitions of the two columns beside `column` in CREATE TABLE:
// "`C_name` VARCHAR(255) NULL, `C_type` VARCHAR(100) NULL".
std::string OleFileColumnDefinitions(const ColumnPlan& column);

// What the current row's OLE value holds, read once for the value's field
// and shared with the two fields beside it.
struct OleFileValue {
  bool file = false;  // a file was taken out: the field holds its bytes
  bool kept = false;  // no file could be: the field holds the container
  std::string name;
  std::string mimeType;
};

// The value of an OLE Object field stored as files, for a non-null `value`
// of the column `column` (whose name the made file names start with).
void ExpectedOleFile(const source::Variant& value, const std::string& column, TargetValue& out,
                     OleFileValue& file);

// The value of the field beside it: the file's name (`nameField`) or its
// MIME type; NULL where the value holds no file.
void ExpectedOleCompanion(const OleFileValue& file, bool nameField, TargetValue& out);

// The MySQL name of a planned field: the table plan's for a column of the
// file, its own for the two beside an OLE Object column.
const std::string& FieldTargetName(const TablePlan& plan, const FieldPlan& field);

// Counts, per OLE Object column stored as files, the values that keep their
// container, and reports them once the table's rows are copied.
class KeptContainers {
 public:
  explicit KeptContainers(const std::vector<FieldPlan>& plan);
  // After a row whose values were all read.
  void CountRow();
  // "Table [T], column [C]: N OLE objects hold no file that can be taken
  // out and are stored as Access holds them." per column that has any.
  void Report(ConversionOwner& owner, ConversionContext& context, const std::string& table) const;

 private:
  struct Column {
    const FieldPlan* field;
    long count = 0;
  };
  std::vector<Column> columns_;
};

}  // namespace bracken::engine
