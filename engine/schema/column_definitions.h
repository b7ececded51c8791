#pragma once

// The column list of a table's CREATE TABLE. Building it opens the table's
// rows, which the row copy then reads.

#include <string>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

namespace bracken::engine {

// "`A` INT NOT NULL AUTO_INCREMENT, `B` VARCHAR(50) NULL", in field order.
// Reads the key state BuildKeyClauses left for the same table. The empty text
// means: skip the table (locked, no columns, or unreadable from the start);
// a failure further on keeps the definitions completed before it.
std::string BuildColumnDefinitions(ConversionOwner& owner, ConversionContext& context,
                                   const std::string& tableName);

inline constexpr const char* kTableLockedMessage =
    "Selected table is already opened.Please close the table first and try to convert again.";

}  // namespace bracken::engine
