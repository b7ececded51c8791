#pragma once

// OLE 2.0 objects keep their data in a compound file (structured storage): a
// little file system of storages and streams inside the value. An embedded
// Word, Excel or PowerPoint object is such a file as a whole; an OLE 1.0
// object carried over keeps its native data in the stream "\1Ole10Native"
// (four bytes of length, then the data); other servers keep their file in
// "CONTENTS" or, for Office Open XML documents, in "Package".
//
// Reading is libgsf's; what is read here is bounded by the value's own
// size, and a storage that cannot be read is no storage.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bracken::source::ole {

// Whether `bytes` starts with a compound file's signature.
bool IsCompoundFile(std::string_view bytes);

// What a compound file holds as a whole, by its top-level streams:
// "WordDocument", "Workbook" (or Excel 5's "Book"), "PowerPoint Document".
enum class CompoundDocument : uint8_t { Word, Excel, PowerPoint, Other };
CompoundDocument CompoundDocumentKind(std::string_view bytes);

class CompoundStorage {
 public:
  // The storage in `bytes` (which must outlive it); nullptr when `bytes` is
  // no compound file or its structure cannot be read.
  static std::unique_ptr<CompoundStorage> Open(std::string_view bytes);
  ~CompoundStorage();
  CompoundStorage(const CompoundStorage&) = delete;
  CompoundStorage& operator=(const CompoundStorage&) = delete;

  // The names of the streams and storages at the top level.
  std::vector<std::string> Names() const;
  // The whole of the top-level stream with this name (matched without
  // regard to case, as the storage itself matches names); nullopt when
  // there is none or it cannot be read to its end.
  std::optional<std::string> Stream(std::string_view name) const;

 private:
  struct Handle;
  explicit CompoundStorage(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> handle_;
};

}  // namespace bracken::source::ole
