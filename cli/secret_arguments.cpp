#include "cli/secret_arguments.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace bracken::cli {

namespace {

// The value after "name=" in `arg`, or nullptr.
char* ValueAfter(char* arg, const char* name) {
  const std::size_t length = std::strlen(name);
  if (std::strncmp(arg, name, length) != 0 || arg[length] != '=') return nullptr;
  return arg + length + 1;
}

// The index in argv where each password value starts (or -1 for none), and
// that value.
struct Secret {
  int index;
  char* value;
};

std::vector<Secret> FindSecrets(int argc, char** argv) {
  std::vector<Secret> found;
  for (int i = 1; i < argc; ++i) {
    char* value = ValueAfter(argv[i], "--password");
    if (value == nullptr) value = ValueAfter(argv[i], "--mdb-password");
    if (value == nullptr && std::strcmp(argv[i], "--mdb-password") == 0 && i + 1 < argc) {
      value = argv[++i];
    }
    if (value != nullptr) found.push_back({i, value});
  }
  return found;
}

// True when the arguments lie one after the other, each ended by its zero,
// as the kernel lays them out for a new program.
bool Contiguous(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] != argv[i - 1] + std::strlen(argv[i - 1]) + 1) return false;
  }
  return true;
}

}  // namespace

bool BlankSecretArguments(int argc, char** argv) {
  const std::vector<Secret> secrets = FindSecrets(argc, argv);
  if (secrets.empty()) return false;
  if (!Contiguous(argc, argv)) {
    // Not laid out as by the kernel: each value in its own place, the mark
    // cut to its length and the rest zeros.
    for (const Secret& secret : secrets) {
      const std::size_t length = std::strlen(secret.value);
      std::memset(secret.value, 0, length);
      std::memcpy(secret.value, kSecretMark, std::min(length, std::strlen(kSecretMark)));
    }
    return true;
  }
  // /proc/PID/cmdline shows the whole area the arguments had, so its length
  // would tell the password's. The arguments are written again as one text,
  // separated by spaces and with the mark for each password, zeros after it,
  // and a last byte that is not zero: the kernel then shows the text up to
  // its first zero, as for a program that sets its own title.
  std::string title;
  std::size_t next = 0;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) title += ' ';
    if (next < secrets.size() && secrets[next].index == i) {
      title.append(argv[i], secrets[next].value);
      title += kSecretMark;
      ++next;
    } else {
      title += argv[i];
    }
  }
  char* area = argv[0];
  const std::size_t size =
      static_cast<std::size_t>(argv[argc - 1] + std::strlen(argv[argc - 1]) + 1 - area);
  if (title.size() >= size) {
    // A password shorter than the mark: the last words go, whole, so that
    // no cut mark tells the length.
    title.resize(size - 1);
    title.resize(std::min(title.size(), title.rfind(' ')));
  }
  std::memset(area, 0, size);
  std::copy(title.begin(), title.end(), area);
  if (title.size() + 1 < size) area[size - 1] = ' ';
  // argv now holds that one text; no one reads the vector again.
  for (int i = 1; i < argc; ++i) argv[i] = area + title.size();
  return true;
}

bool FollowsPasswordOption(const std::vector<std::string>& args, std::size_t i) {
  return i > 0 && (args[i - 1] == "--password" || args[i - 1] == "--mdb-password");
}

}  // namespace bracken::cli
