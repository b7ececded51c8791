#include "target/secret_memory.h"

#include <sys/prctl.h>

#include <cstring>

namespace bracken::target {

void KeepSecretsOutOfCoreDumps() { ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0); }

void WipeSecret(std::string& secret) {
  // The buffer holds capacity() characters and the terminating zero; what a
  // shorter value left beyond size() goes too.
  ::explicit_bzero(secret.data(), secret.capacity());
  secret.clear();
}

void WipeSecret(std::optional<std::string>& secret) {
  if (secret) WipeSecret(*secret);
  secret.reset();
}

}  // namespace bracken::target
