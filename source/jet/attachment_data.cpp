#include "source/jet/attachment_data.h"

#include <zlib.h>

namespace bracken::source::jet {

namespace {

constexpr uint32_t kStoredAsIs = 0;
constexpr uint32_t kDeflated = 1;
constexpr uint32_t kMaxInflated = 0x7FFFFFFF;

std::string Inflate(Bytes compressed, uint32_t length) {
  if (length > kMaxInflated) ThrowDamaged("an attachment claims an impossible length");
  std::string out(length, '\0');
  uLongf outLength = length;
  int result = uncompress(reinterpret_cast<Bytef*>(out.data()), &outLength, compressed.data(),
                          static_cast<uLong>(compressed.size()));
  if (result != Z_OK || outLength != length) ThrowDamaged("an attachment cannot be inflated");
  return out;
}

}  // namespace

std::string AttachmentFileBytes(Bytes stored) {
  if (stored.empty()) return {};
  uint32_t flag = stored.U32(0);
  uint32_t length = stored.U32(4);
  std::string content;
  if (flag == kDeflated) {
    content = Inflate(stored.From(8), length);
  } else if (flag == kStoredAsIs) {
    content = stored.From(8).String();
  } else {
    ThrowDamaged("an attachment is stored in an unknown form");
  }
  Bytes inner(content, "attachment");
  uint32_t header = inner.U32(0);
  if (header > inner.size()) ThrowDamaged("an attachment's header is longer than the file");
  return inner.From(header).String();
}

}  // namespace bracken::source::jet
