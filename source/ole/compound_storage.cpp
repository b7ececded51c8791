#include "source/ole/compound_storage.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>
#include <strings.h>

#include <algorithm>
#include <mutex>

namespace bracken::source::ole {

namespace {

constexpr std::string_view kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

// libgsf warns on stderr about every damaged structure it meets; a damaged
// value is classified by the caller and shown in its own words instead.
void QuietLog(const gchar* /*domain*/, GLogLevelFlags /*level*/, const gchar* /*message*/,
              gpointer /*data*/) {}

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    gsf_init();
    for (const char* domain :
         {static_cast<const char*>(nullptr), "libgsf:msole", "libgsf", "GLib-GObject", "GLib"}) {
      g_log_set_handler(
          domain,
          static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL |
                                      G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG),
          QuietLog, nullptr);
    }
  });
}

}  // namespace

struct CompoundStorage::Handle {
  GsfInfile* infile = nullptr;
  std::size_t limit = 0;  // no stream is longer than the value that holds it
  ~Handle() {
    if (infile != nullptr) g_object_unref(infile);
  }
};

bool IsCompoundFile(std::string_view bytes) { return bytes.substr(0, 8) == kSignature; }

CompoundDocument CompoundDocumentKind(std::string_view bytes) {
  std::unique_ptr<CompoundStorage> storage = CompoundStorage::Open(bytes);
  if (!storage) return CompoundDocument::Other;
  for (const std::string& name : storage->Names()) {
    if (strcasecmp(name.c_str(), "WordDocument") == 0) return CompoundDocument::Word;
    if (strcasecmp(name.c_str(), "Workbook") == 0 || strcasecmp(name.c_str(), "Book") == 0) {
      return CompoundDocument::Excel;
    }
    if (strcasecmp(name.c_str(), "PowerPoint Document") == 0) return CompoundDocument::PowerPoint;
  }
  return CompoundDocument::Other;
}

CompoundStorage::CompoundStorage(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
CompoundStorage::~CompoundStorage() = default;

std::unique_ptr<CompoundStorage> CompoundStorage::Open(std::string_view bytes) {
  // The smallest compound file is its 512-byte header and one sector.
  if (!IsCompoundFile(bytes) || bytes.size() < 1024) return nullptr;
  InitOnce();
  GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                         static_cast<gsf_off_t>(bytes.size()), FALSE);
  if (input == nullptr) return nullptr;
  GError* error = nullptr;
  GsfInfile* infile = gsf_infile_msole_new(input, &error);
  g_object_unref(input);
  if (error != nullptr) g_error_free(error);
  if (infile == nullptr) return nullptr;
  auto handle = std::make_unique<Handle>();
  handle->infile = infile;
  handle->limit = bytes.size();
  return std::unique_ptr<CompoundStorage>(new CompoundStorage(std::move(handle)));
}

std::vector<std::string> CompoundStorage::Names() const {
  std::vector<std::string> names;
  const int count = gsf_infile_num_children(handle_->infile);
  for (int i = 0; i < count; ++i) {
    const char* name = gsf_infile_name_by_index(handle_->infile, i);
    if (name != nullptr) names.emplace_back(name);
  }
  return names;
}

std::optional<std::string> CompoundStorage::Stream(std::string_view name) const {
  const int count = gsf_infile_num_children(handle_->infile);
  for (int i = 0; i < count; ++i) {
    const char* childName = gsf_infile_name_by_index(handle_->infile, i);
    if (childName == nullptr || std::string_view(childName).size() != name.size() ||
        strncasecmp(childName, name.data(), name.size()) != 0) {
      continue;
    }
    GsfInput* child = gsf_infile_child_by_index(handle_->infile, i);
    if (child == nullptr) return std::nullopt;
    std::optional<std::string> content;
    const gsf_off_t size = gsf_input_size(child);
    const bool storage = GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0;
    if (!storage && size >= 0 && static_cast<std::size_t>(size) <= handle_->limit) {
      std::string bytes(static_cast<std::size_t>(size), '\0');
      std::size_t done = 0;
      while (done < bytes.size()) {
        const std::size_t part = std::min<std::size_t>(bytes.size() - done, 1 << 16);
        if (gsf_input_read(child, part, reinterpret_cast<guint8*>(bytes.data() + done)) ==
            nullptr) {
          break;
        }
        done += part;
      }
      if (done == bytes.size()) content = std::move(bytes);
    }
    g_object_unref(child);
    return content;
  }
  return std::nullopt;
}

}  // namespace bracken::source::ole
