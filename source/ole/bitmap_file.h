#pragma once

// Paint (class "Paint.Picture", and Windows 3's "PBrush") keeps its picture
// as a bitmap file, or as a device-independent bitmap alone: the
// BITMAPINFOHEADER, its colour table and the pixels, without the 14-byte
// BITMAPFILEHEADER ("BM", the file's size, the offset of the pixels) that a
// .bmp file starts with. Static pictures (presentation class "DIB") are
// such a bitmap as well.

#include <optional>
#include <string>
#include <string_view>

namespace bracken::source::ole {

// `bytes` as a .bmp file: as they are when they start with a file header
// (cut to the size it gives), with one put before them when they are a bare
// device-independent bitmap. nullopt when they are neither, or the headers
// name more than `bytes` hold.
std::optional<std::string> BitmapFile(std::string_view bytes);

}  // namespace bracken::source::ole
