#include "engine/views/select_text_parser.h"

namespace bracken::engine {

bool ParseSelectText(std::string_view, source::QueryDefinition&, std::string& why) {
  why = "Bracken does not yet read SELECT statements written as text";
  return false;
}

}  // namespace bracken::engine
