#include "ui/row_progress.h"

namespace bracken::ui {

namespace {
const QString kPrefix = QStringLiteral("Converting Table: [");
const QString kSuffix = QStringLiteral(" rows converted...");
}  // namespace

std::optional<CaptionProgress> ParseProgressCaption(const QString& caption) {
  if (!caption.startsWith(kPrefix) || !caption.endsWith(kSuffix)) return std::nullopt;
  // The name may hold "] " itself; the count follows the last one.
  const QString inner =
      caption.mid(kPrefix.size(), caption.size() - kPrefix.size() - kSuffix.size());
  const qsizetype close = inner.lastIndexOf(QStringLiteral("] "));
  if (close < 0) return std::nullopt;
  bool number = false;
  const qint64 rows = inner.mid(close + 2).toLongLong(&number);
  if (!number) return std::nullopt;
  return CaptionProgress{inner.left(close), rows};
}

QString RowsText(qint64 rows, qint64 total) {
  if (total < 0 || rows > total) return QStringLiteral("Rows: %1").arg(rows);
  return QStringLiteral("Rows: %1 of %2").arg(rows).arg(total);
}

QString CaptionTableName(const QString& name) {
  QString spelled = name;
  spelled.remove(QLatin1Char('`'));
  return spelled;
}

}  // namespace bracken::ui
