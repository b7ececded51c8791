#pragma once

// What a column's and a table's own rules add to the CREATE TABLE: the
// column's DEFAULT from its Access default value, and the COMMENTs that keep
// descriptions (and a column's validation text) where a user finds them.
// Whatever the server cannot take is left out with one report line naming
// the Access text and the reason; the CHECK constraints come after the rows
// (engine/schema/check_constraints.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "expression/translate.h"

namespace bracken::engine {

// The server's limits on comments, in characters.
inline constexpr std::size_t kMaxColumnCommentCharacters = 1024;
inline constexpr std::size_t kMaxTableCommentCharacters = 2048;

// The server the statements are written for, as the expression translator
// needs to know it.
expression::ServerDialect TargetDialect(const ConversionContext& context);

// What the translator needs to know of a column of this Access type (an
// ADO type code, as ColumnDescription holds it).
expression::ValueKind KindOfType(int32_t typeCode);
// A column as rules name it: its Access name, its quoted MySQL name, its kind.
expression::ColumnRef ColumnReference(const ColumnDescription& field,
                                      const std::string& targetName);

// Why `translation` (refused) is not kept, as a report line says it: the
// translator's reason after "not translatable, because ", or alone when
// only this server lacks what the text needs (`onNewest`: the same text
// translated for the newest server).
std::string RefusalReason(const expression::Translation& translation,
                          const expression::Translation& onNewest);

// The first `limit` characters of a UTF-8 text.
std::string CutToCharacters(std::string_view utf8, std::size_t limit);

// " DEFAULT <value>" for the column `field` of `table`, created as
// `typeText`; "" when it has no default, when rules are not carried, or when
// the default cannot be taken (reported). An AUTO_INCREMENT column takes none.
std::string DefaultClause(ConversionOwner& owner, ConversionContext& context,
                          const std::string& table, const ColumnDescription& field,
                          const std::string& typeText, bool autoIncrement);

// " COMMENT '<text>'" for a column: a calculated column's expression, then
// its description, then "Validation text: <text>", one per line. "" when
// there is nothing to say. Cut to the server's limit with a report line.
std::string ColumnCommentClause(ConversionOwner& owner, ConversionContext& context,
                                const std::string& table, const std::string& column,
                                const std::string& expression);

// " COMMENT='<description>'" for the table, to follow its other options; ""
// when it has none or rules are not carried. Cut with a report line.
std::string TableCommentOption(ConversionOwner& owner, ConversionContext& context,
                               const std::string& table);

}  // namespace bracken::engine
