#include "engine/source_connection.h"

namespace bracken::engine {

std::string BuildConnectionText(const std::string& path, const std::string& password) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";" +
         "Jet OLEDB:Database Password=" + password;
}

std::string ClassifyOpenFailure(const std::string& description) {
  static const std::string kInvalidFile = "Please select valid MS Access Database.";
  if (description == "Not a valid password.") {
    return "Selected database is Password Protected.\nPlease enter valid password to open "
           "database.";
  }
  if (description == "Authentication failed.") return kInvalidFile;
  if (description.compare(0, 28, "Unrecognized database format") == 0) return kInvalidFile;
  if (description.find("Could not find file") != std::string::npos) return kInvalidFile;
  return description;
}

std::string FileDamageMessage(const std::vector<std::string>& notes) {
  std::string text = "Parts of this Access file cannot be read:\n";
  for (const std::string& note : notes) text += "\n" + note;
  return text +
         "\n\nThe tables listed can be converted; the report at the end of the conversion names "
         "what is left out.";
}

std::vector<std::string> ListTableNames(const source::Catalog& catalog) {
  std::vector<std::string> names;
  source::Tables tables = catalog.Tables();
  for (long i = 0; i < tables.Count(); ++i) {
    source::Table table = tables.Item(i);
    if (table.Type() == "TABLE") names.push_back(table.Name());
  }
  return names;
}

std::string SourceErrorMessage(const source::SourceError& error) {
  return "\n" + error.Source() + " Error: " + std::to_string(error.Code()) + "\r\n" +
         error.Description() + "\r\n" + "" + "\r\n";
}

}  // namespace bracken::engine
