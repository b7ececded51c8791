#pragma once

// Pages of the fixture writer: where finished pages go (memory or a file),
// and data pages that collect rows from the end of the page towards the
// header.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/jet_writer_bytes.h"

namespace bracken::testing::jet {

// Receives finished pages in any order; a page not given stays zero.
class PageSink {
 public:
  virtual ~PageSink() = default;
  virtual void Put(uint32_t page, const std::string& bytes) = 0;
};

class MemorySink : public PageSink {
 public:
  explicit MemorySink(uint32_t pageSize) : pageSize_(pageSize) {}
  void Put(uint32_t page, const std::string& bytes) override;
  std::string Take() { return std::move(bytes_); }

 private:
  uint32_t pageSize_;
  std::string bytes_;
};

class FileSink : public PageSink {
 public:
  FileSink(const std::filesystem::path& path, uint32_t pageSize);
  ~FileSink() override;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  void Put(uint32_t page, const std::string& bytes) override;
  // Flushes and closes; throws when the file could not be written.
  void Close();

 private:
  std::FILE* file_;
  uint32_t pageSize_;
  bool failed_ = false;
};

// A data page (or long-value page) being filled. Rows are placed from the end
// of the page; the row offsets follow the header.
class DataPage {
 public:
  // Jet addresses a row by one byte.
  static constexpr int kMaxRows = 255;

  // `owner` is the table definition page, or the tag "LVAL" for long values.
  DataPage(uint32_t number, uint32_t owner, const WriterFormat& format);
  uint32_t Number() const { return number_; }
  int RowCount() const { return rows_; }
  // Bytes a new row of `size` bytes may still take, with its offset entry.
  bool Fits(size_t size) const;
  size_t FreeSpace() const;
  // Places the row and returns its number on the page.
  int Add(const std::string& row);
  const std::string& Finish();

 private:
  uint32_t number_;
  WriterFormat format_;
  std::string bytes_;
  int rows_ = 0;
  size_t top_;  // first byte of the lowest row
};

constexpr uint32_t kLongValueOwner = 0x4c41564c;  // "LVAL"

}  // namespace bracken::testing::jet
