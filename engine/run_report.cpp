#include "engine/run_report.h"

#include <vector>

namespace bracken::engine {

namespace {

void Count(std::vector<std::string>& parts, long count, const char* one, const char* many) {
  if (count > 0) parts.push_back(std::to_string(count) + " " + (count == 1 ? one : many));
}

}  // namespace

void Report(ConversionOwner& owner, ConversionSummary& summary, const std::string& line) {
  ++summary.reportLines;
  owner.ReportLine(line);
}

std::string Bracketed(const std::string& name) { return "[" + name + "]"; }

std::string LossMessage(const ConversionSummary& summary) {
  std::vector<std::string> parts;
  Count(parts, summary.rowsRefused, "row refused", "rows refused");
  Count(parts, summary.valuesChanged, "value changed", "values changed");
  Count(parts, summary.tablesIncomplete, "table cut short", "tables cut short");
  Count(parts, summary.tablesSkipped, "table skipped", "tables skipped");
  Count(parts, summary.tablesFailed, "table failed", "tables failed");
  std::string text = "Bracken database conversion ended, but not everything was converted: ";
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i > 0 ? ", " : "") + parts[i];
  return text + ". Each is listed in the report.";
}

}  // namespace bracken::engine
