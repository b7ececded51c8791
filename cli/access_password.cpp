#include "cli/access_password.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "cli/exit_status.h"
#include "cli/terminal_prompt.h"
#include "engine/source_connection.h"
#include "target/secret_memory.h"

namespace bracken::cli {

std::optional<std::string> GivenAccessPassword(const std::optional<std::string>& option) {
  if (option) return option;
  if (const char* environment = std::getenv(kAccessPasswordVariable))
    return std::string(environment);
  return std::nullopt;
}

std::string OpenAccessFile(source::Catalog& catalog, const std::string& file,
                           const std::optional<std::string>& givenPassword) {
  std::string text = engine::BuildConnectionText(file, givenPassword.value_or(""));
  try {
    catalog.SetActiveConnection(text);
    return text;
  } catch (const source::SourceError& error) {
    // Only a file that asks for a password, when none was given and a
    // terminal can answer.
    if (givenPassword || error.Description() != "Not a valid password." ||
        isatty(STDIN_FILENO) == 0) {
      throw;
    }
  }
  std::string password;
  try {
    password = PromptHidden("Enter password for the Access file: ");
  } catch (const std::exception&) {
    return OpenAccessFile(catalog, file, std::string());
  }
  target::WipeSecret(text);
  text = engine::BuildConnectionText(file, password);
  target::WipeSecret(password);
  catalog.SetActiveConnection(text);
  return text;
}

std::optional<int> OpenAndChoose(const std::string& command, const std::string& file,
                                 const std::optional<std::string>& givenPassword,
                                 const std::vector<std::string>& wanted, ChosenTables& chosen) {
  try {
    chosen.connectionText = OpenAccessFile(chosen.catalog, file, givenPassword);
    chosen.names = engine::ListTableNames(chosen.catalog);
  } catch (const source::SourceError& error) {
    std::cerr << "Message: "
              << EscapeControls(engine::ClassifyOpenFailure(error.Description()), true) << "\n";
    return kExitFailed;
  }
  chosen.checked.assign(chosen.names.size(), wanted.empty());
  for (const std::string& name : wanted) {
    auto found = std::find(chosen.names.begin(), chosen.names.end(), name);
    if (found == chosen.names.end()) {
      std::cerr << "bracken-cli " << command << ": no table '" << EscapeControls(name) << "' in "
                << EscapeControls(file) << "\n";
      return kExitUsage;
    }
    chosen.checked[static_cast<std::size_t>(found - chosen.names.begin())] = true;
  }
  return std::nullopt;
}

}  // namespace bracken::cli
