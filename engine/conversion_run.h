#pragma once

// One conversion, from the press of Convert to the completion message: the
// checks, the destination database, then per checked table its CREATE TABLE
// and rows, while the run drives the progress area of its owner.

#include <optional>
#include <string>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

namespace bracken::engine {

inline constexpr const char* kProductTitle = "Quillon Database Converter - Bracken";
inline constexpr std::size_t kMaxDatabaseNameCharacters = 64;

// Runs on the conversion worker; every message and control change goes
// through the owner. What of a damaged file cannot be read (parts of its
// catalogue, of a table's definition, pages of a table's rows, rows short of
// the table's own count) is reported and counted as lost, so such a run never
// ends with the success message. Returns how the run ended, for callers
// without a window.
ConversionSummary RunConversion(ConversionOwner& owner, ConversionContext& context);

// One table as the run converts it, for callers that bring an existing copy
// in line (sync): its plan, DROP TABLE IF EXISTS, CREATE TABLE, rows and
// checks, reported through `owner` and counted in `context.summary`. The
// key state must be clear and the destination database in use. True when
// the table was converted; else `failure` holds why (empty after a stop).
bool ConvertOneTable(ConversionOwner& owner, ConversionContext& context, const std::string& table,
                     std::string& failure);

// "k of N Table(s) are converted."
std::string StatusText(int converted, int checked);

// "CREATE TABLE `T`(" + definitions + keys + ")ENGINE=myisam DEFAULT CHARSET=utf8;",
// with " COLLATE=" + collation before the ";" when one is given, then the
// further table `options` (" COMMENT='...'"); InnoDB tables say
// "ENGINE=InnoDB ROW_FORMAT=DYNAMIC" instead.
std::string CreateTableStatement(const std::string& tableName, const std::string& definitions,
                                 const std::string& keys, const std::string& collation = "",
                                 TableEngine engine = TableEngine::MyISAM,
                                 const std::string& options = "");

// The message for a destination name that is one of the server's own schemas
// (mysql, sys, information_schema, performance_schema, in any case).
std::string ReservedNameMessage(const std::string& name);

// The message for an existing database the login could not create again
// once dropped (`mayDrop`: its grants allow the DROP), before anything is sent.
std::string CreateNotGrantedMessage(const std::string& name, bool mayDrop);

// The overwrite question for the existing database `name`: the question
// itself, then a paragraph naming the database and the tables it holds
// (`tables`, nothing when the server could not tell) that the run deletes.
std::string OverwriteQuestion(const std::string& name, std::optional<long long> tables);

// The message after the server accepted the DROP of the database and refused
// to create it again.
std::string DatabaseDroppedMessage(const std::string& name);

}  // namespace bracken::engine
