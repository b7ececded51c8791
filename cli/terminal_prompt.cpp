#include "cli/terminal_prompt.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace bracken::cli {

std::string PromptHidden(const std::string& prompt) {
  int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("no terminal to ask the password on");
  [[maybe_unused]] auto written = ::write(fd, prompt.data(), prompt.size());
  termios saved{};
  bool restore = tcgetattr(fd, &saved) == 0;
  if (restore) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(fd, TCSANOW, &quiet);
  }
  // Room enough that the text is never moved, leaving a copy behind.
  std::string password;
  password.reserve(1024);
  char c;
  while (::read(fd, &c, 1) == 1 && c != '\n') password += c;
  c = 0;
  if (restore) tcsetattr(fd, TCSANOW, &saved);
  written = ::write(fd, "\n", 1);
  ::close(fd);
  return password;
}

std::string EscapeControls(const std::string& text, bool keepLines) {
  std::string out;
  char buffer[8];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (keepLines && (c == '\n' || c == '\t')) {
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
      out += buffer;
    } else if (c == 0xc2 && next >= 0x80 && next <= 0x9f) {
      // A C1 control in UTF-8 (U+0080 to U+009F; U+009B starts a sequence).
      std::snprintf(buffer, sizeof buffer, "\\u%04x", next);
      out += buffer;
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace bracken::cli
