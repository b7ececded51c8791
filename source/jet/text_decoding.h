#pragma once

// Text as Jet stores it, turned into UTF-8: Jet 4 keeps UCS-2, optionally in
// its compressed form (marker FF FE, then runs of one-byte characters and
// runs of two-byte characters separated by 00); Jet 3 keeps single bytes in
// the database's code page.

#include <cstdint>
#include <string>

#include "source/jet/bytes.h"

namespace bracken::source::jet {

// Appends UTF-16LE code units as UTF-8; unpaired surrogates become U+FFFD.
void AppendUtf16(Bytes units, std::string& out);
// Jet 4 text, compressed or not.
void AppendJet4Text(Bytes stored, std::string& out);
// Single-byte text in the given Windows code page (1252 when 0 or unknown).
void AppendCodePageText(Bytes stored, uint16_t codePage, std::string& out);

// Text of either version.
void AppendText(Bytes stored, bool jet3, uint16_t codePage, std::string& out);
std::string DecodeText(Bytes stored, bool jet3, uint16_t codePage);

// The number of UTF-16 code units stored text decodes to, without decoding
// it (Jet 3 text counts one unit per byte).
size_t StoredTextUnits(Bytes stored, bool jet3);

// The number of UTF-16 code units stored text decodes to: as above, but
// Jet 3 text in a double-byte code page is decoded to be counted.
size_t TextUnits(Bytes stored, bool jet3, uint16_t codePage);

// The number of UTF-16 code units a UTF-8 text holds.
size_t Utf16Length(const std::string& utf8);

}  // namespace bracken::source::jet
