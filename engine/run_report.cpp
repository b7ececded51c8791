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
  Count(parts, summary.relationshipsNotCreated, "relationship not created",
        "relationships not created");
  Count(parts, summary.partsUnread, "part of the file unreadable", "parts of the file unreadable");
  Count(parts, summary.rulesNotKept, "rule not kept", "rules not kept");
  Count(parts, summary.queriesNotCreated, "query not converted", "queries not converted");
  Count(parts, summary.indexesNotCreated, "index not created", "indexes not created");
  std::string text = "Bracken database conversion ended, but not everything was converted: ";
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i > 0 ? ", " : "") + parts[i];
  return text + ". Each is listed in the report.";
}

std::string RowCountNote(long found, long stored) {
  if (stored < 0 || found == stored) return "";
  std::string note = "the file counts " + std::to_string(stored) +
                     (stored == 1 ? " row" : " rows") + ", but " + std::to_string(found) +
                     (found == 1 ? " was" : " were") + " found";
  if (found < stored) note += "; the other " + std::to_string(stored - found) + " cannot be read";
  return note;
}

}  // namespace bracken::engine
