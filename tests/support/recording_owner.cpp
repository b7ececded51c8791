#include "tests/support/recording_owner.h"

namespace bracken::testing {

using engine::MessageAnswer;
using engine::MessageButtons;

void RecordingOwner::SetTables(const std::vector<std::string>& names,
                               const std::vector<bool>& checked) {
  selectedNames.clear();
  for (std::size_t i = 0; i < names.size(); ++i) {
    selectedNames.push_back(checked[i] ? names[i] : "");
  }
  listChecked = checked;
}

MessageAnswer RecordingOwner::ShowMessage(const std::string& text, const std::string& caption,
                                          MessageButtons buttons, engine::MessageIcon icon) {
  std::string line = caption + ": " + text;
  if (icon != engine::MessageIcon::None) line += " [icon]";
  log.push_back("message " + line);
  messages.push_back(line);
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  if (answers.empty()) return MessageAnswer::Yes;
  MessageAnswer answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

void RecordingOwner::SetControlVisible(int id, bool isVisible) {
  visible[id] = isVisible;
  log.push_back((isVisible ? "show " : "hide ") + std::to_string(id));
}

void RecordingOwner::SetControlEnabled(int id, bool isEnabled) {
  enabled[id] = isEnabled;
  log.push_back((isEnabled ? "enable " : "disable ") + std::to_string(id));
}

void RecordingOwner::SetControlText(int id, const std::string& text) {
  texts[id] = text;
  log.push_back("text " + std::to_string(id) + " " + text);
}

void RecordingOwner::SetChecked(int id, bool checked) {
  if (id == 1024) selectAllChecked = checked;
  log.push_back("check " + std::to_string(id) + (checked ? " on" : " off"));
}

int RecordingOwner::ListItemCount(int) { return static_cast<int>(listChecked.size()); }

bool RecordingOwner::ListItemChecked(int, int row) {
  return listChecked.at(static_cast<std::size_t>(row));
}

void RecordingOwner::SetListItemChecked(int, int row, bool checked) {
  listChecked.at(static_cast<std::size_t>(row)) = checked;
  log.push_back("item " + std::to_string(row) + (checked ? " on" : " off"));
}

void RecordingOwner::SetProgressRange(int id, int low, int high) {
  log.push_back("range " + std::to_string(id) + " " + std::to_string(low) + " " +
                std::to_string(high));
}

void RecordingOwner::SetProgressStep(int id, int step) {
  log.push_back("step " + std::to_string(id) + " " + std::to_string(step));
}

void RecordingOwner::SetProgressPosition(int id, int value) {
  position[id] = value;
  log.push_back("position " + std::to_string(id) + " " + std::to_string(value));
}

void RecordingOwner::StepProgress(int id) {
  ++position[id];
  log.push_back("stepit " + std::to_string(id));
}

void RecordingOwner::SetCaption(const std::string& text) {
  caption = text;
  log.push_back("caption " + text);
  if (onCaption) onCaption(text);
}

void RecordingOwner::StartTimer(int id, int periodMs) {
  timerRunning = true;
  log.push_back("timer on " + std::to_string(id) + " " + std::to_string(periodMs));
}

void RecordingOwner::StopTimer(int id) {
  timerRunning = false;
  log.push_back("timer off " + std::to_string(id));
}

void RecordingOwner::ReportLine(const std::string& line) {
  log.push_back("report " + line);
  reportLines.push_back(line);
}

void RecordingOwner::ShowReport(const std::string& message, const std::vector<std::string>& lines) {
  log.push_back("report shown " + message);
  messages.push_back("Report: " + message);
  reportMessage = message;
  reportShown = lines;
}

}  // namespace bracken::testing
