#pragma once

// Opening the Access file: the connection text, the message for a file that
// will not open, the listing of its tables, and the text shown for any
// failure of a source operation.

#include <string>
#include <vector>

#include "source/source_access.h"

namespace bracken::engine {

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=PATH;Jet OLEDB:Database Password=PASSWORD",
// the password clause always present; nothing is quoted.
std::string BuildConnectionText(const std::string& path, const std::string& password);

// The message shown when opening the file failed with this description.
std::string ClassifyOpenFailure(const std::string& description);

// The message shown once the tables of a file are listed whose catalogue
// has parts that cannot be read: each note, one a line.
std::string FileDamageMessage(const std::vector<std::string>& notes);

// The names of the catalogue's tables of type "TABLE", in catalogue order.
std::vector<std::string> ListTableNames(const source::Catalog& catalog);

// "\n<source> Error: <code>\r\n<description>\r\n<system text>\r\n". This
// platform has no system message table for the provider's codes, so the last
// line is empty.
std::string SourceErrorMessage(const source::SourceError& error);

}  // namespace bracken::engine
