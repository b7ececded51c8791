#pragma once

// The session every connection works in, whatever the server's global
// settings say.

namespace bracken::target {

// The character set of everything sent and received: utf8mb4, so that
// characters above U+FFFF arrive intact.
inline constexpr const char* kSessionCharset = "utf8mb4";

// The session's sql_mode, set as a whole so that no global mode reaches the
// conversion's statements:
//  - STRICT_ALL_TABLES: a value a column cannot hold is refused and reported
//    on every table engine and in every row of a statement, never cut or
//    replaced silently; every server refuses the same rows.
//  - ERROR_FOR_DIVISION_BY_ZERO: with strict mode, the same errors on
//    MariaDB and MySQL (part of both servers' defaults).
//  - NO_AUTO_VALUE_ON_ZERO: an AutoNumber 0 is stored as 0, not as the next
//    value.
//  - NO_ENGINE_SUBSTITUTION: a table is made with the engine the conversion
//    names or not at all.
// Left out on purpose: NO_BACKSLASH_ESCAPES (the literals escape with
// backslashes; with it a value could end its literal and run as SQL),
// ANSI_QUOTES, PIPES_AS_CONCAT, EMPTY_STRING_IS_NULL, PAD_CHAR_TO_FULL_LENGTH
// and the other modes that change how a statement reads or what a value
// becomes; NO_ZERO_DATE and NO_ZERO_IN_DATE (not in MariaDB's defaults: they
// would refuse table definitions that work there); NO_AUTO_CREATE_USER
// (MySQL 8 no longer knows it and would refuse the whole mode).
inline constexpr const char* kSessionSqlMode =
    "STRICT_ALL_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_AUTO_VALUE_ON_ZERO,NO_ENGINE_SUBSTITUTION";

}  // namespace bracken::target
