#pragma once

// The header page: the file's version, its code page, the key of encoded
// databases and the database password, kept under a fixed RC4 mask (and, in
// Jet 4, a second mask taken from the creation date). Access 2007 and later
// files keep a key there too when they are encrypted, and the description of
// their encryption further on.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "source/jet/format.h"
#include "source/jet/page_file.h"

namespace bracken::source::jet {

struct Header {
  Format format;
  uint16_t codePage = 1252;
  std::array<uint8_t, 4> pageKey{};
  std::string password;  // UTF-8; empty when the file has none
  // Access 2007 and later files with a database password: how the pages
  // are encrypted (empty when they are not).
  std::vector<uint8_t> encryptionInfo;
};

// Reads and unmasks the header page and sets the file's page layout (the
// pages of encrypted Access 2007 and later files stay encrypted until
// CheckPassword has set their cipher). A file
// that is not a Jet 3 or Jet 4 database raises
// "Unrecognized database format 'NAME'.".
Header ReadHeader(PageFile& file);

// Raises "Not a valid password." unless the file has no password or the
// given one equals it; for encrypted Access 2007 and later files, unless the
// given one unlocks the pages, whose cipher it then sets.
void CheckPassword(const Header& header, const std::string& given, PageFile& file);

}  // namespace bracken::source::jet
