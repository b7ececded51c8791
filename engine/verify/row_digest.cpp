#include "engine/verify/row_digest.h"

#include <openssl/evp.h>

#include <cstring>
#include <stdexcept>

namespace bracken::engine {

RowDigester::RowDigester()
    : context_(EVP_MD_CTX_new()), sha256_(EVP_MD_fetch(nullptr, "SHA256", nullptr)) {
  if (context_ == nullptr || sha256_ == nullptr) {
    throw std::runtime_error("the SHA-256 digest of libcrypto is not available");
  }
}

RowDigester::~RowDigester() {
  EVP_MD_free(sha256_);
  EVP_MD_CTX_free(context_);
}

Digest RowDigester::Of(std::string_view bytes) {
  unsigned char full[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_DigestInit_ex(context_, sha256_, nullptr);
  EVP_DigestUpdate(context_, bytes.data(), bytes.size());
  EVP_DigestFinal_ex(context_, full, &size);
  Digest digest;
  std::memcpy(digest.data(), full, digest.size());
  return digest;
}

}  // namespace bracken::engine
