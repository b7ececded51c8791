#include "tests/support/jet_writer_pages.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace bracken::testing::jet {

void MemorySink::Put(uint32_t page, const std::string& bytes) {
  size_t end = (static_cast<size_t>(page) + 1) * pageSize_;
  if (bytes_.size() < end) bytes_.resize(end, '\0');
  std::memcpy(bytes_.data() + static_cast<size_t>(page) * pageSize_, bytes.data(), pageSize_);
}

FileSink::FileSink(const std::filesystem::path& path, uint32_t pageSize)
    : file_(std::fopen(path.c_str(), "w+b")), pageSize_(pageSize) {
  if (file_ == nullptr) {
    throw std::runtime_error("cannot create " + path.string() + ": " + std::strerror(errno));
  }
}

FileSink::~FileSink() {
  if (file_ != nullptr) std::fclose(file_);
}

void FileSink::Put(uint32_t page, const std::string& bytes) {
  long offset = static_cast<long>(page) * pageSize_;
  if (std::fseek(file_, offset, SEEK_SET) != 0 ||
      std::fwrite(bytes.data(), 1, pageSize_, file_) != pageSize_) {
    failed_ = true;
  }
}

void FileSink::Close() {
  bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (failed_ || !closed) throw std::runtime_error("writing the fixture file failed");
}

DataPage::DataPage(uint32_t number, uint32_t owner, const WriterFormat& format)
    : number_(number), format_(format), bytes_(format.pageSize, '\0'), top_(format.pageSize) {
  bytes_[0] = 0x01;
  bytes_[1] = 0x01;
  Place<uint32_t>(bytes_, 4, owner);
}

size_t DataPage::FreeSpace() const { return top_ - format_.dataHeaderSize - 2 * rows_; }

bool DataPage::Fits(size_t size) const { return rows_ < kMaxRows && size + 2 <= FreeSpace(); }

int DataPage::Add(const std::string& row) {
  top_ -= row.size();
  std::memcpy(bytes_.data() + top_, row.data(), row.size());
  Place<uint16_t>(bytes_, format_.dataHeaderSize + 2 * rows_, static_cast<uint16_t>(top_));
  return rows_++;
}

const std::string& DataPage::Finish() {
  Place<uint16_t>(bytes_, 2, static_cast<uint16_t>(FreeSpace()));
  Place<uint16_t>(bytes_, format_.dataRowCount, static_cast<uint16_t>(rows_));
  return bytes_;
}

}  // namespace bracken::testing::jet
