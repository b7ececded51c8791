#pragma once

// An owner that shows nothing: the planning steps report renames and
// widenings to their owner, and where the conversion has shown them already
// (verify, sync reading a table it keeps) they are kept quiet.

#include <string>
#include <vector>

#include "engine/conversion_owner.h"

namespace bracken::engine {

class SilentOwner : public ConversionOwner {
 public:
  MessageAnswer ShowMessage(const std::string&, const std::string&, MessageButtons,
                            MessageIcon) override {
    return MessageAnswer::Ok;
  }
  void SetControlVisible(int, bool) override {}
  void SetControlEnabled(int, bool) override {}
  void SetControlText(int, const std::string&) override {}
  std::string ControlText(int) override { return {}; }
  void SetChecked(int, bool) override {}
  int ListItemCount(int) override { return 0; }
  bool ListItemChecked(int, int) override { return false; }
  void SetListItemChecked(int, int, bool) override {}
  std::vector<std::string> SelectedTableNames() override { return {}; }
  void SetProgressRange(int, int, int) override {}
  void SetProgressStep(int, int) override {}
  void SetProgressPosition(int, int) override {}
  void StepProgress(int) override {}
  void SetCaption(const std::string&) override {}
  void StartTimer(int, int) override {}
  void StopTimer(int) override {}
  void ReportLine(const std::string&) override {}
  void ShowReport(const std::string&, const std::vector<std::string>&) override {}
};

}  // namespace bracken::engine
