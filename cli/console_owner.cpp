#include "cli/console_owner.h"

#include <iostream>

#include "cli/terminal_prompt.h"
#include "engine/control_ids.h"
#include "engine/conversion_run.h"
#include "engine/output/lock_wait_watch.h"

namespace bracken::cli {

namespace {

// Source error messages carry Windows line ends; names from the file may
// carry control characters, which are shown escaped.
std::string ConsoleText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out += c;
  }
  out = EscapeControls(out, true);
  while (!out.empty() && out.front() == '\n') out.erase(out.begin());
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// The question alone, without the paragraphs after it.
std::string FirstParagraph(const std::string& text) { return text.substr(0, text.find("\n\n")); }

}  // namespace

ConsoleOwner::ConsoleOwner(std::vector<std::string> tables, std::vector<bool> checked,
                           std::string databaseName, OverwriteAnswer overwrite, std::ostream& out,
                           bool showProgress, bool canAsk)
    : tables_(std::move(tables)),
      checked_(std::move(checked)),
      databaseName_(std::move(databaseName)),
      overwrite_(overwrite),
      out_(out),
      showProgress_(showProgress),
      canAsk_(canAsk) {}

engine::MessageAnswer ConsoleOwner::ShowMessage(const std::string& text, const std::string& caption,
                                                engine::MessageButtons buttons,
                                                engine::MessageIcon) {
  std::unique_lock<std::recursive_mutex> lock(mutex_);
  ClearProgressLine();
  if (buttons == engine::MessageButtons::Ok) {
    out_ << caption << ": " << ConsoleText(text) << "\n" << std::flush;
    return engine::MessageAnswer::Ok;
  }
  // Answered by an option, the question is printed as it always was; asked
  // at the prompt, with what it will delete. Enter answers No either way.
  const bool prompt = overwrite_ == OverwriteAnswer::Ask && canAsk_;
  out_ << caption << ": " << ConsoleText(prompt ? text : FirstParagraph(text));
  if (!prompt) {
    bool yes = overwrite_ == OverwriteAnswer::Yes;
    out_ << (yes ? " yes (--yes)\n" : (canAsk_ ? " no (--no)\n" : " no (use --yes to allow)\n"));
    return yes ? engine::MessageAnswer::Yes : engine::MessageAnswer::No;
  }
  out_ << " [y/N] " << std::flush;
  lock.unlock();
  std::string line;
  std::getline(std::cin, line);
  bool yes = line == "y" || line == "Y" || line == "yes" || line == "Yes";
  return yes ? engine::MessageAnswer::Yes : engine::MessageAnswer::No;
}

// The waiting label tells of a wait on the server (another client's lock,
// a full disk, ...): a line when it starts or turns into another, and one
// when the run goes on.
void ConsoleOwner::SetControlText(int id, const std::string& text) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (id == engine::control::kStatusLabel) status_ = text;
  if (id != engine::control::kPleaseWaitLabel) return;
  if (text.rfind(engine::kWaitNoticeStart, 0) == 0) {
    if (text == shownWait_) return;
    shownWait_ = text;
    Note(text);
    return;
  }
  if (shownWait_.empty()) return;
  Note(shownWait_ == engine::kLockWaitText ? "The wait for the lock is over."
                                           : "The wait on the server is over.");
  shownWait_.clear();
}

void ConsoleOwner::Note(const std::string& line) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ClearProgressLine();
  if (!line.empty()) out_ << ConsoleText(line) << "\n";
  out_ << std::flush;
}

std::string ConsoleOwner::ControlText(int id) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return id == engine::control::kDestinationName ? databaseName_ : "";
}

bool ConsoleOwner::ListItemChecked(int, int row) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return checked_.at(static_cast<std::size_t>(row));
}

void ConsoleOwner::SetListItemChecked(int, int row, bool checked) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  checked_.at(static_cast<std::size_t>(row)) = checked;
}

std::vector<std::string> ConsoleOwner::SelectedTableNames() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < tables_.size(); ++i) names.push_back(checked_[i] ? tables_[i] : "");
  return names;
}

// The caption carries the table and its row count; a terminal sees it at
// most ten times a second, with the tables done so far.
void ConsoleOwner::SetCaption(const std::string& caption) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!showProgress_) return;
  if (caption == engine::kProductTitle) {
    ClearProgressLine();
    return;
  }
  auto now = std::chrono::steady_clock::now();
  if (progressLineShown_ && now - lastProgress_ < std::chrono::milliseconds(100)) return;
  lastProgress_ = now;
  out_ << "\r\033[K" << ConsoleText(caption) << "  (" << status_ << ")" << std::flush;
  progressLineShown_ = true;
}

void ConsoleOwner::ClearProgressLine() {
  if (!progressLineShown_) return;
  out_ << "\r\033[K" << std::flush;
  progressLineShown_ = false;
}

// Report lines go out as they happen, so a long run shows its losses early
// and a broken-off one still has them.
void ConsoleOwner::ReportLine(const std::string& line) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ClearProgressLine();
  out_ << "Report: " << ConsoleText(line) << "\n" << std::flush;
}

void ConsoleOwner::ShowReport(const std::string& message, const std::vector<std::string>&) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  ClearProgressLine();
  out_ << "Message: " << ConsoleText(message) << "\n" << std::flush;
}

}  // namespace bracken::cli
