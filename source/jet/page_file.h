#pragma once

// The database file as a sequence of fixed-size pages, read on demand from
// disk (or from memory for tests). Pages of encoded databases are decoded as
// they are read. Reading is safe from several threads at once.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source/jet/page_cipher.h"

namespace bracken::source::jet {

class PageFile {
 public:
  // Opens a file on disk; a missing file raises "Could not find file 'PATH'.".
  static std::shared_ptr<PageFile> OpenPath(const std::string& path);
  static std::shared_ptr<PageFile> FromBuffer(std::string bytes, std::string name);
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  const std::string& Name() const { return name_; }
  uint64_t Size() const { return size_; }
  // Reads raw bytes; false when the range lies beyond the end of the file.
  bool ReadRaw(uint64_t offset, size_t length, uint8_t* out) const;

  // Set once the header has been read.
  void SetLayout(uint32_t pageSize, std::vector<uint8_t> headerPage, std::array<uint8_t, 4> key);
  // Set when the password has unlocked an encrypted file: every page after
  // the header is decoded with it.
  void SetCipher(std::unique_ptr<const PageCipher> cipher) { cipher_ = std::move(cipher); }
  uint32_t PageSize() const { return pageSize_; }
  uint32_t PageCount() const { return pageCount_; }
  // Reads page n into out (resized to the page size); a page number beyond
  // the file raises a source error.
  void ReadPage(uint32_t n, std::vector<uint8_t>& out) const;

 private:
  PageFile() = default;

  std::string name_;
  int fd_ = -1;
  std::string memory_;
  uint64_t size_ = 0;
  uint32_t pageSize_ = 0;
  uint32_t pageCount_ = 0;
  std::vector<uint8_t> header_;
  std::array<uint8_t, 4> key_{};
  bool encoded_ = false;
  std::unique_ptr<const PageCipher> cipher_;
};

}  // namespace bracken::source::jet
