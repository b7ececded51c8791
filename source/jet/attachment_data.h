#pragma once

// The stored form of an attachment's file: a 32-bit flag (0 as is, 1
// deflated), the 32-bit length of what follows once inflated, then that
// content, which starts with its own header (a 32-bit header length, then
// the file's extension) ahead of the file's bytes.

#include <string>

#include "source/jet/bytes.h"

namespace bracken::source::jet {

// The file's bytes; a stored form that cannot be read raises a damaged-file
// error.
std::string AttachmentFileBytes(Bytes stored);

}  // namespace bracken::source::jet
