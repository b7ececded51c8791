#include "source/ole/ole1_object.h"

#include "source/jet/bytes.h"
#include "source/jet/text_decoding.h"
#include "source/source_error.h"

namespace bracken::source::ole {

namespace {

// A u32 length (counting the NUL) and the text, at `at`.
std::string ReadText(jet::Bytes data, std::size_t& at) {
  const uint32_t length = data.U32(at);
  at += 4;
  jet::Bytes text = data.Sub(at, length);
  at += length;
  return AnsiText(text);
}

}  // namespace

std::string AnsiText(jet::Bytes text) {
  const std::string_view view = text.View();
  const std::size_t end = view.find('\0');
  std::string out;
  jet::AppendCodePageText(text.Sub(0, end == std::string_view::npos ? view.size() : end), 1252,
                          out);
  return out;
}

Ole1Object ReadOle1Object(std::string_view bytes) {
  jet::Bytes data(bytes, "OLE 1.0 object");
  Ole1Object object;
  const uint32_t format = data.U32(4);
  std::size_t at = 8;
  object.className = ReadText(data, at);
  switch (format) {
    case static_cast<uint32_t>(Ole1Format::Linked):
      object.format = Ole1Format::Linked;
      object.topic = ReadText(data, at);
      object.item = ReadText(data, at);
      return object;
    case static_cast<uint32_t>(Ole1Format::Embedded): {
      object.format = Ole1Format::Embedded;
      object.topic = ReadText(data, at);
      object.item = ReadText(data, at);
      const uint32_t size = data.U32(at);
      object.data = data.Sub(at + 4, size).View();
      return object;
    }
    case static_cast<uint32_t>(Ole1Format::Static): {
      object.format = Ole1Format::Static;
      if (object.className == "DIB") {
        const uint32_t size = data.U32(at + 8);
        object.data = data.Sub(at + 12, size).View();
      }
      return object;
    }
    default:
      ThrowDamaged("an OLE object is neither linked, embedded nor a picture");
  }
}

}  // namespace bracken::source::ole
