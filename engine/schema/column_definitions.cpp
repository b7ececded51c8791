#include "engine/schema/column_definitions.h"

#include <algorithm>

#include "engine/control_ids.h"
#include "engine/rows/ole_files.h"
#include "engine/schema/identifier.h"
#include "engine/schema/rule_clauses.h"
#include "engine/schema/type_mapping.h"
#include "engine/source_connection.h"

namespace bracken::engine {

namespace {

bool InPrimaryKey(const KeyState& state, const std::string& name) {
  return std::find(state.primaryKeyColumns.begin(), state.primaryKeyColumns.end(), name) !=
         state.primaryKeyColumns.end();
}

// AUTO_INCREMENT only for the first column of a PRIMARY KEY clause that
// stands first among the keys: the server wants that column to lead a key.
bool TakesAutoIncrement(const KeyState& state, const std::string& name, bool autoIncrement) {
  return autoIncrement && state.primaryKeyEmitted && state.leadingPrimaryKeyColumn &&
         *state.leadingPrimaryKeyColumn == name;
}

bool IsTextType(const std::string& type) {
  return type.rfind("CHAR", 0) == 0 || type.rfind("VARCHAR", 0) == 0 || type == "TEXT" ||
         type == "LONGTEXT";
}

}  // namespace

std::string ColumnDefinition(ConversionOwner& owner, ConversionContext& context,
                             const std::string& tableName, const ColumnDescription& field,
                             const ColumnFlags& flags) {
  const ColumnDefinitionParts parts = PlanColumnDefinition(owner, context, tableName, field, flags);
  std::string text = QuoteIdentifier(parts.targetName);
  text += ' ';
  text += parts.typeText;
  // Text columns holding characters above U+FFFF are four-byte UTF-8; all
  // text compares as Access compares it where the server can.
  if (parts.extendedCharacters) {
    text += " CHARACTER SET utf8mb4";
    if (!context.extendedTextCollation.empty()) text += " COLLATE " + context.extendedTextCollation;
  }
  text += parts.nullable ? " NULL" : " NOT NULL";
  if (parts.autoIncrement) text += " AUTO_INCREMENT";
  text += parts.defaultClause;
  // A calculated column keeps its expression as the column's comment.
  text += parts.commentClause;
  return text;
}

ColumnDefinitionParts PlanColumnDefinition(ConversionOwner& owner, ConversionContext& context,
                                           const std::string& tableName,
                                           const ColumnDescription& field,
                                           const ColumnFlags& flags) {
  const KeyState& state = context.keyState;
  const ColumnPlan* planned = context.tablePlan.Find(field.name);
  ColumnDefinitionParts parts;
  parts.targetName = planned != nullptr ? planned->targetName : field.name;
  parts.typeText = planned != nullptr ? planned->typeText
                                      : MapColumnType(field.type, field.definedSize,
                                                      field.numericScale, field.precision);
  parts.extendedCharacters =
      planned != nullptr && IsTextType(planned->typeText) && planned->extendedCharacters;
  // NaN and infinities arrive as NULL, so their column must take it.
  const bool takesNull = flags.nullable || (planned != nullptr && planned->holdsNonFinite);
  parts.nullable = takesNull && !InPrimaryKey(state, field.name);
  parts.autoIncrement = TakesAutoIncrement(state, field.name, flags.autoIncrement);
  parts.defaultClause =
      DefaultClause(owner, context, tableName, field, parts.typeText, flags.autoIncrement);
  parts.commentClause =
      ColumnCommentClause(owner, context, tableName, field.name, flags.expression);
  return parts;
}

std::string BuildColumnDefinitions(ConversionOwner& owner, ConversionContext& context,
                                   const std::string& tableName) {
  std::string text;
  try {
    context.recordset.reset();
    context.recordset = context.source.OpenRows(tableName);
    RowSource& rows = *context.recordset;
    long count = rows.FieldCount();
    for (long i = 0; i < count; ++i) {
      ColumnDescription field = rows.Field(i);
      ColumnFlags flags = context.source.Flags(tableName, field.name);
      // A column is written only once all of it has been read.
      text += ColumnDefinition(owner, context, tableName, field, flags);
      text += ", ";
      const ColumnPlan* planned = context.tablePlan.Find(field.name);
      if (planned != nullptr && planned->OleFiles() && field.type == source::adLongVarBinary) {
        text += OleFileColumnDefinitions(*planned) + ", ";
      }
    }
  } catch (const source::SourceError& error) {
    std::string message = SourceErrorMessage(error);
    if (message.find("is already opened exclusively by another user") != std::string::npos) {
      owner.StopTimer(control::kActivityTimer);
      owner.ShowMessage(kTableLockedMessage, "Message", MessageButtons::Ok, MessageIcon::None);
      return "";
    }
    owner.ShowMessage(message, "Message", MessageButtons::Ok, MessageIcon::None);
  }
  if (!text.empty()) text.resize(text.size() - 2);
  return text;
}

}  // namespace bracken::engine
