#include "engine/rows/row_refusal.h"

#include "engine/run_report.h"

namespace bracken::engine {

namespace {

constexpr unsigned int kNoSuchTable = 1146;
constexpr unsigned int kNoDatabaseSelected = 1046;
constexpr unsigned int kUnknownDatabase = 1049;

}  // namespace

bool TableGoneError(unsigned int error) {
  return error == kNoSuchTable || error == kNoDatabaseSelected || error == kUnknownDatabase;
}

RowResult AfterRowFailure(ConversionOwner& owner, ConversionContext& context,
                          const std::string& table, long number) {
  StatementExecutor& server = context.executor;
  if (context.stoppedDuringWait) return RowResult::Stopped;
  if (server.LastErrorWasConnectionLost()) return RowResult::ConnectionLost;
  if (TableGoneError(server.LastErrorNumber())) return RowResult::TableGone;
  ++context.summary.rowsRefused;
  std::string text = server.ErrorText();
  const std::string where = "Table " + Bracketed(table) + ", row " + std::to_string(number);
  Report(owner, context.summary, where + ": refused by the server: " + text);
  owner.ShowRowRefusal(text, "Bracken", where + ".");
  return RowResult::Refused;
}

}  // namespace bracken::engine
