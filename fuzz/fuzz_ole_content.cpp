// libFuzzer target: a byte buffer read as an OLE Object value. Whatever it
// holds, reading it must end in a state (empty, damaged, a file, ...): a
// crash, a hang, a leak, a read past the buffer or any exception is a fault.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "source/ole/ole_content.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bracken::source::ole::OleContent content = bracken::source::ole::ReadOleContent(
      std::string_view(reinterpret_cast<const char*>(data), size));
  if (content.state == bracken::source::ole::OleState::File) {
    (void)bracken::source::ole::OleFileName(content, "Column");
  }
  return 0;
}
