#pragma once

// The conversion's owner in a terminal: messages go to standard error with
// their caption, the overwrite question is answered by an option or asked on
// the terminal, and the row progress is shown on one line when standard
// error is a terminal. Its calls may come from the conversion worker, from
// the lock-wait watch and from the Ctrl-C thread at once: each takes the
// owner's lock.

#include <chrono>
#include <iosfwd>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/conversion_owner.h"

namespace bracken::cli {

enum class OverwriteAnswer { Ask, Yes, No };

class ConsoleOwner : public engine::ConversionOwner {
 public:
  // `tables` are the file's tables in catalogue order; `checked` marks those
  // to convert.
  ConsoleOwner(std::vector<std::string> tables, std::vector<bool> checked, std::string databaseName,
               OverwriteAnswer overwrite, std::ostream& out, bool showProgress, bool canAsk);

  engine::MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                    engine::MessageButtons buttons,
                                    engine::MessageIcon icon) override;
  void SetControlVisible(int, bool) override {}
  void SetControlEnabled(int, bool) override {}
  void SetControlText(int id, const std::string& text) override;
  std::string ControlText(int id) override;
  void SetChecked(int, bool) override {}
  int ListItemCount(int) override { return static_cast<int>(checked_.size()); }
  bool ListItemChecked(int, int row) override;
  void SetListItemChecked(int, int row, bool checked) override;
  std::vector<std::string> SelectedTableNames() override;
  void SetProgressRange(int, int, int) override {}
  void SetProgressStep(int, int) override {}
  void SetProgressPosition(int, int) override {}
  void StepProgress(int) override {}
  void SetCaption(const std::string& caption) override;
  void StartTimer(int, int) override {}
  void StopTimer(int) override {}
  void ReportLine(const std::string& line) override;
  void ShowReport(const std::string& message, const std::vector<std::string>& lines) override;
  void Notice(const std::string& line) override { Note(line); }

  // One line of the program's own (the progress line cleared first); an
  // empty text only clears the progress line.
  void Note(const std::string& line);

 private:
  void ClearProgressLine();

  std::vector<std::string> tables_;
  std::vector<bool> checked_;
  std::string databaseName_;
  OverwriteAnswer overwrite_;
  std::ostream& out_;
  bool showProgress_;
  bool canAsk_;
  bool progressLineShown_ = false;
  std::string status_;
  std::chrono::steady_clock::time_point lastProgress_{};
  std::string shownWait_;  // the notice of a wait on the server last printed
  std::recursive_mutex mutex_;
};

}  // namespace bracken::cli
