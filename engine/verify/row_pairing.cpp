#include "engine/verify/row_pairing.h"

#include "engine/rows/ole_files.h"
#include "engine/run_report.h"
#include "engine/schema/identifier.h"
#include "engine/verify/verify_cell.h"

namespace bracken::engine {

bool DigestBefore(const RowEntry& a, const RowEntry& b) {
  return a.digest != b.digest ? a.digest < b.digest : a.ordinal < b.ordinal;
}

void RowPairing::Plan(RowSource& rows, ConversionContext& context) {
  fields_ = PlanFields(rows, context);
  for (const FieldPlan& field : fields_) kinds_.push_back(KindOf(field));
  values_.resize(fields_.size());
  starts_.resize(fields_.size() + 1);
}

void RowPairing::FindKey(ConversionContext& context, const std::string& table) {
  const long indexes = context.source.IndexCount(table);
  for (long i = 0; i < indexes; ++i) {
    IndexDescription index = context.source.Index(table, i);
    if (!index.primaryKey) continue;
    for (const std::string& name : index.columns) {
      auto found = std::find_if(fields_.begin(), fields_.end(),
                                [&](const FieldPlan& field) { return field.name == name; });
      const auto at = static_cast<std::size_t>(found - fields_.begin());
      if (found == fields_.end() || match_.position[at] < 0) {
        keyFields_.clear();  // a key the server cannot give: compare whole rows
        break;
      }
      keyFields_.push_back(at);
    }
    break;
  }
}

std::string RowPairing::Query(const ConversionContext& context, const std::string& database) const {
  std::string query = "SELECT " + (match_.selectList.empty() ? "0" : match_.selectList) + " FROM " +
                      QuoteIdentifier(database) + "." +
                      QuoteIdentifier(context.tablePlan.targetName);
  for (std::size_t k = 0; k < keyFields_.size(); ++k) {
    const std::size_t field = keyFields_[k];
    query += k == 0 ? " ORDER BY " : ",";
    query += OrderExpression(QuoteIdentifier(FieldTargetName(context.tablePlan, fields_[field])),
                             kinds_[field]);
  }
  return query;
}

void RowPairing::FileRow(RowSource& rows) {
  row_.clear();
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    ExpectedValue(rows, fields_[i], values_[i]);
    // The file's Date/Time Extended text compares as the date it is.
    if (kinds_[i] == CellKind::FineDateTime && values_[i].kind == CellKind::Text) {
      values_[i].kind = CellKind::FineDateTime;
    }
    starts_[i] = row_.size();
    if (match_.position[i] >= 0) AppendCanonical(row_, values_[i]);
  }
  starts_[fields_.size()] = row_.size();
}

void RowPairing::ServerRow(const target::RowStream& stream) {
  row_.clear();
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    starts_[i] = row_.size();
    const int p = match_.position[i];
    if (p < 0) continue;
    const auto column = static_cast<unsigned>(p);
    AppendCanonical(row_, kinds_[i], stream.IsNull(column), stream.Cell(column));
  }
  starts_[fields_.size()] = row_.size();
}

void RowPairing::HoldFileRow(uint32_t ordinal) {
  const Digest digest = digester_.Of(row_);
  if (keyFields_.empty()) {
    unkeyed_.push_back({digest, ordinal});
    return;
  }
  const uint64_t offset = arena_.size();
  AppendKey(arena_);
  keyed_.push_back({offset, static_cast<uint32_t>(arena_.size() - offset), ordinal, digest});
}

// What the reading left out of the file, so that a table read short is
// never taken as whole: the pages its rows lost and the rows found short of
// the table's own count (more rows than counted lose nothing).
void RowPairing::NoteShortfall(RowSource& rows, ConversionContext& context,
                               const std::string& table, long found,
                               std::vector<std::string>& notes) const {
  for (const std::string& note : rows.Damage()) notes.push_back(note);
  long stored = -1;
  try {
    stored = context.source.StoredRowCount(table);
  } catch (const source::SourceError&) {
    // No count to hold the rows against.
  }
  if (found < stored) notes.push_back(RowCountNote(found, stored));
}

void RowPairing::SortKeyed() {
  std::sort(keyed_.begin(), keyed_.end(), [&](const KeyEntry& a, const KeyEntry& b) {
    const int order = KeyOf(a).compare(KeyOf(b));
    return order != 0 ? order < 0 : a.ordinal < b.ordinal;
  });
}

}  // namespace bracken::engine
