#pragma once

// A source value as the text its literal is made of, exact for MySQL.

#include <string>

#include "source/source_access.h"

namespace bracken::engine {

// Appends the value's text. A Single is written so that the server, which
// reads the text as a double and rounds that to a float, stores the same
// float: the shortest float text where that holds (it does for all but the
// largest values and rare double roundings), else the double's own text.
void AppendExactText(std::string& out, const source::Variant& value);

}  // namespace bracken::engine
