#pragma once

// The column list of a table's CREATE TABLE. Building it opens the table's
// rows, which the row copy then reads.

#include <string>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

namespace bracken::engine {

// What one column's definition says, as its parts: verify holds the server's
// columns against the same parts.
struct ColumnDefinitionParts {
  std::string targetName;
  std::string typeText;
  bool extendedCharacters = false;  // CHARACTER SET utf8mb4 (a text column only)
  bool nullable = true;
  bool autoIncrement = false;
  std::string defaultClause;  // " DEFAULT ..." or ""
  std::string commentClause;  // " COMMENT '...'" or ""
};

// The parts of the definition of `field` of `tableName`, from the table's
// plan and the key state BuildKeyClauses left; what cannot be kept is
// reported through `owner`.
ColumnDefinitionParts PlanColumnDefinition(ConversionOwner& owner, ConversionContext& context,
                                           const std::string& tableName,
                                           const ColumnDescription& field,
                                           const ColumnFlags& flags);

// "`A` INT NOT NULL AUTO_INCREMENT DEFAULT ... COMMENT '...'": one column as
// CREATE TABLE (and ALTER TABLE ... MODIFY) takes it, from its parts.
std::string ColumnDefinition(ConversionOwner& owner, ConversionContext& context,
                             const std::string& tableName, const ColumnDescription& field,
                             const ColumnFlags& flags);

// "`A` INT NOT NULL AUTO_INCREMENT, `B` VARCHAR(50) NULL", in field order.
// Reads the key state BuildKeyClauses left for the same table. The empty text
// means: skip the table (locked, no columns, or unreadable from the start);
// a failure further on keeps the definitions completed before it.
std::string BuildColumnDefinitions(ConversionOwner& owner, ConversionContext& context,
                                   const std::string& tableName);

inline constexpr const char* kTableLockedMessage =
    "Selected table is already opened.Please close the table first and try to convert again.";

}  // namespace bracken::engine
