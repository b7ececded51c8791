#pragma once

// The rows of the table being copied, read back from the caption the row
// copy writes ("Converting Table: [Orders] 1200 rows converted...") and
// shown against the table's row count in the progress area.

#include <QString>
#include <optional>

namespace bracken::ui {

struct CaptionProgress {
  QString table;  // as the caption spells it (without backquotes)
  qint64 rows = 0;
};

// The table and count of a row copy's caption; nothing for any other title.
std::optional<CaptionProgress> ParseProgressCaption(const QString& caption);

// "Rows: 1200 of 8000", the digits written as the caption writes them;
// without a known total (negative) or past it, only the rows done.
QString RowsText(qint64 rows, qint64 total);

// The name as the caption spells it.
QString CaptionTableName(const QString& name);

}  // namespace bracken::ui
