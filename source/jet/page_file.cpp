#include "source/jet/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "source/jet/rc4.h"
#include "source/source_error.h"

namespace bracken::source::jet {

std::shared_ptr<PageFile> PageFile::OpenPath(const std::string& path) {
  std::shared_ptr<PageFile> file(new PageFile());
  file->name_ = path;
  // A FIFO or a device would block a plain open until a writer came; without
  // blocking, fstat then refuses anything that is not a regular file.
  file->fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat info {};
  if (file->fd_ < 0 || ::fstat(file->fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    int error = errno;
    if (file->fd_ >= 0 || error == ENOENT || error == ENOTDIR || error == EISDIR) {
      ThrowSourceError("Could not find file '" + path + "'.");
    }
    ThrowSourceError("The Microsoft Jet database engine cannot open the file '" + path +
                     "'.  It is already opened exclusively by another user, or you need "
                     "permission to view its data (" +
                     std::strerror(error) + ").");
  }
  file->size_ = static_cast<uint64_t>(info.st_size);
  return file;
}

std::shared_ptr<PageFile> PageFile::FromBuffer(std::string bytes, std::string name) {
  std::shared_ptr<PageFile> file(new PageFile());
  file->name_ = std::move(name);
  file->memory_ = std::move(bytes);
  file->size_ = file->memory_.size();
  return file;
}

PageFile::~PageFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool PageFile::ReadRaw(uint64_t offset, size_t length, uint8_t* out) const {
  if (offset > size_ || length > size_ - offset) return false;
  if (fd_ < 0) {
    std::memcpy(out, memory_.data() + offset, length);
    return true;
  }
  size_t done = 0;
  while (done < length) {
    ssize_t got = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

void PageFile::SetLayout(uint32_t pageSize, std::vector<uint8_t> headerPage,
                         std::array<uint8_t, 4> key) {
  pageSize_ = pageSize;
  pageCount_ = static_cast<uint32_t>(std::min<uint64_t>(size_ / pageSize, 0xFFFFFFu));
  header_ = std::move(headerPage);
  key_ = key;
  encoded_ = key[0] || key[1] || key[2] || key[3];
}

void PageFile::ReadPage(uint32_t n, std::vector<uint8_t>& out) const {
  if (n >= pageCount_) {
    ThrowDamaged("page " + std::to_string(n) + " lies beyond the end of the file");
  }
  if (n == 0) {
    out = header_;
    return;
  }
  out.resize(pageSize_);
  if (!ReadRaw(uint64_t{n} * pageSize_, pageSize_, out.data())) {
    ThrowDamaged("page " + std::to_string(n) + " cannot be read");
  }
  if (cipher_) {
    cipher_->DecodePage(n, out.data(), out.size());
  } else if (encoded_) {
    uint8_t pageKey[4];
    for (int i = 0; i < 4; ++i) pageKey[i] = key_[i] ^ static_cast<uint8_t>(n >> (8 * i));
    ApplyRc4(pageKey, 4, out.data(), out.size());
  }
}

}  // namespace bracken::source::jet
