#include "engine/rows/ole_files.h"

#include <algorithm>

#include "engine/conversion_context.h"
#include "engine/run_report.h"
#include "engine/schema/identifier.h"
#include "engine/schema/table_plan.h"
#include "source/ole/ole_content.h"

namespace bracken::engine {

namespace {

// A file name as its column holds it: characters above U+FFFF (which a
// utf8 column cannot hold) become "_", and the name keeps its first 255
// characters.
std::string StoredFileName(const std::string& name) {
  std::string stored;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < name.size() && characters < 255;) {
    const auto lead = static_cast<unsigned char>(name[i]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    length = std::min(length, name.size() - i);
    if (lead >= 0xF0) {
      stored += '_';
    } else {
      stored.append(name, i, length);
    }
    i += length;
    ++characters;
  }
  return stored;
}

}  // namespace

std::optional<OleObjects> ParseOleObjects(const std::string& text) {
  if (text == "raw") return OleObjects::Raw;
  if (text == "files") return OleObjects::Files;
  return std::nullopt;
}

std::string OleFileColumnDefinitions(const ColumnPlan& column) {
  return QuoteIdentifier(column.fileNameColumn) + " " + kOleFileNameType + " NULL, " +
         QuoteIdentifier(column.fileTypeColumn) + " " + kOleFileTypeType + " NULL";
}

void ExpectedOleFile(const source::Variant& value, const std::string& column, TargetValue& out,
                     OleFileValue& file) {
  source::ole::OleContent content = source::ole::ReadOleContent(value.Bytes());
  file.file = content.state == source::ole::OleState::File;
  file.kept = !file.file && content.state != source::ole::OleState::Empty;
  if (file.file) {
    file.name = StoredFileName(source::ole::OleFileName(content, column));
    file.mimeType = content.mimeType;
    out.text = std::move(content.file);
  } else {
    file.name.clear();
    file.mimeType.clear();
    out.text = value.Bytes();
  }
  out.nonFinite = nullptr;
  out.kind = CellKind::Bytes;
  out.form = LiteralForm::Hex;
}

void ExpectedOleCompanion(const OleFileValue& file, bool nameField, TargetValue& out) {
  out.nonFinite = nullptr;
  if (!file.file) return out.SetNull();
  out.text = nameField ? file.name : file.mimeType;
  out.kind = CellKind::Text;
  out.form = LiteralForm::Quoted;
}

const std::string& FieldTargetName(const TablePlan& plan, const FieldPlan& field) {
  if (field.ole == OleRole::FileName || field.ole == OleRole::FileType) return field.name;
  return plan.TargetName(field.name);
}

KeptContainers::KeptContainers(const std::vector<FieldPlan>& plan) {
  for (const FieldPlan& field : plan) {
    if (field.ole == OleRole::File) columns_.push_back({&field});
  }
}

void KeptContainers::CountRow() {
  for (Column& column : columns_) {
    if (column.field->oleFile->kept) ++column.count;
  }
}

void KeptContainers::Report(ConversionOwner& owner, ConversionContext& context,
                            const std::string& table) const {
  for (const Column& column : columns_) {
    if (column.count == 0) continue;
    engine::Report(owner, context.summary,
                   "Table " + Bracketed(table) + ", column " + Bracketed(column.field->name) +
                       ": " + std::to_string(column.count) +
                       (column.count == 1 ? " OLE object holds no file that can be taken out and "
                                            "is stored as Access holds it."
                                          : " OLE objects hold no file that can be taken out and "
                                            "are stored as Access holds them."));
  }
}

}  // namespace bracken::engine
