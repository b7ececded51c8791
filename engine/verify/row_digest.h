#pragma once

// A strong digest of a row's canonical cells: the first 16 bytes of its
// SHA-256, so that two different rows practically never meet.

#include <array>
#include <cstdint>
#include <string_view>

struct evp_md_ctx_st;
struct evp_md_st;

namespace bracken::engine {

using Digest = std::array<uint8_t, 16>;

class RowDigester {
 public:
  RowDigester();
  ~RowDigester();
  RowDigester(const RowDigester&) = delete;
  RowDigester& operator=(const RowDigester&) = delete;

  Digest Of(std::string_view bytes);

 private:
  evp_md_ctx_st* context_;
  evp_md_st* sha256_;
};

}  // namespace bracken::engine
