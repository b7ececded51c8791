#pragma once

// An owner that keeps the state of the controls the conversion touches and a
// log of every request, one line each, for tests to compare.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/conversion_owner.h"

namespace bracken::testing {

class RecordingOwner : public engine::ConversionOwner {
 public:
  // The table list: one row per name, checked as given.
  void SetTables(const std::vector<std::string>& names, const std::vector<bool>& checked);
  void SetDestinationName(const std::string& name) { texts[1019] = name; }

  engine::MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                    engine::MessageButtons buttons,
                                    engine::MessageIcon icon) override;
  void SetControlVisible(int id, bool visible) override;
  void SetControlEnabled(int id, bool enabled) override;
  void SetControlText(int id, const std::string& text) override;
  std::string ControlText(int id) override { return texts[id]; }
  void SetChecked(int id, bool checked) override;
  int ListItemCount(int listId) override;
  bool ListItemChecked(int listId, int row) override;
  void SetListItemChecked(int listId, int row, bool checked) override;
  std::vector<std::string> SelectedTableNames() override { return selectedNames; }
  void SetProgressRange(int id, int low, int high) override;
  void SetProgressStep(int id, int step) override;
  void SetProgressPosition(int id, int position) override;
  void StepProgress(int id) override;
  void SetCaption(const std::string& caption) override;
  void StartTimer(int id, int periodMs) override;
  void StopTimer(int id) override;
  void ReportLine(const std::string& line) override;
  void ShowReport(const std::string& message, const std::vector<std::string>& lines) override;
  void TableRowsFound(const std::string& table, long rows) override { rowsFound[table] = rows; }
  void Notice(const std::string& line) override { notices.push_back(line); }

  // Every request in order, e.g. "message Message: text", "hide 1032",
  // "caption ...", "timer on", "item 0 off".
  std::vector<std::string> log;
  // Only the message lines ("Caption: text").
  std::vector<std::string> messages;
  // Every report line, and the closing message and lines of ShowReport.
  std::vector<std::string> reportLines;
  std::string reportMessage;
  std::vector<std::string> reportShown;
  // The notice lines, kept apart from the log.
  std::vector<std::string> notices;
  // The rows each table's plan found (kept apart from the log).
  std::map<std::string, long> rowsFound;
  // Answers to Yes/No questions, used in order; Yes when none is left.
  std::vector<engine::MessageAnswer> answers;
  // Called after each caption change (a test may press STOP here).
  std::function<void(const std::string&)> onCaption;

  std::vector<std::string> selectedNames;
  std::vector<bool> listChecked;
  std::map<int, std::string> texts;
  std::map<int, bool> visible;
  std::map<int, bool> enabled;
  std::map<int, int> position;
  std::string caption;
  bool timerRunning = false;
  bool selectAllChecked = true;
};

}  // namespace bracken::testing
