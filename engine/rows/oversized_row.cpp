#include "engine/rows/oversized_row.h"

#include <algorithm>
#include <numeric>

#include "engine/run_report.h"
#include "target/assumed_server.h"

namespace bracken::engine {

namespace {

// Room for the packet header and the statement's own words.
constexpr std::size_t kPacketMargin = 1024;

std::string LimitAdvice(std::size_t limit, bool dumpFile) {
  if (!dumpFile) {
    return "the server's max_allowed_packet of " + std::to_string(limit) +
           " bytes; the row is left out. Raise max_allowed_packet on the server (for example SET "
           "GLOBAL "
           "max_allowed_packet=1073741824, the largest it takes) and convert again.";
  }
  // No server is involved: the limit is the one of the server the file is
  // written for, at most what the clients that replay it send.
  std::string advice = "the max_allowed_packet of " + std::to_string(limit) +
                       " bytes of the server the dump file is written for; the row is left out. ";
  if (limit < target::kClientPacketBytes) {
    return advice + "Name a server that takes more with --server-version (MariaDB 10.2 and " +
           "MySQL 8.0 or later take " + std::to_string(target::kClientPacketBytes) +
           " bytes) and write the file again, or convert straight into a server with a larger "
           "max_allowed_packet.";
  }
  return advice + "No dump file takes more, as the mariadb and mysql clients send no longer " +
         "statement: convert straight into a server with a larger max_allowed_packet (for " +
         "example SET GLOBAL max_allowed_packet=1073741824).";
}

}  // namespace

std::size_t MaxRowStatementBytes(const StatementExecutor& server) {
  std::size_t limit = server.Traits().MaxStatementBytes();
  return limit > kPacketMargin ? limit - kPacketMargin : 0;
}

bool OversizedRow::Send(const std::string& statement, const std::vector<std::size_t>& starts) {
  const std::size_t fields = plan.size();
  const std::size_t limit = MaxRowStatementBytes(context.executor);
  // Each field's literal without its separating comma.
  auto literal = [&](std::size_t i) {
    return std::string_view(statement).substr(starts[i], starts[i + 1] - starts[i] - 1);
  };
  std::vector<std::size_t> order(fields);
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return literal(a).size() > literal(b).size(); });
  std::vector<bool> apart(fields, false);
  std::size_t size = statement.size();
  for (std::size_t i : order) {
    if (size <= limit || !plan[i].longValue) break;
    // What goes apart is bound as bytes, so a NULL would arrive as empty.
    if (literal(i) == "NULL") continue;
    apart[i] = true;
    size -= literal(i).size() - 1;  // the literal becomes "?"
  }
  const std::size_t packet = context.executor.Traits().maxAllowedPacket;
  const bool dumpFile = context.executor.WritesDumpFile();
  if (size > limit) {
    return Refuse("Table " + Bracketed(table) + ", row " + std::to_string(number) +
                  ": the row of " + std::to_string(statement.size()) + " bytes is larger than " +
                  LimitAdvice(packet, dumpFile));
  }
  std::string text = statement.substr(0, starts[0]);
  std::vector<std::string> values;
  std::vector<std::string_view> sent;
  for (std::size_t i = 0; i < fields; ++i) {
    if (!apart[i]) {
      text.append(literal(i)).append(",");
      continue;
    }
    // The text or the bytes themselves, not their literal.
    TargetValue expected;
    ExpectedValue(rows, plan[i], expected);
    std::string value = std::move(expected.text);
    if (value.size() > packet) {
      return Refuse("Table " + Bracketed(table) + ", row " + std::to_string(number) + ", column " +
                    Bracketed(plan[i].name) + ": the value of " + std::to_string(value.size()) +
                    " bytes is larger than " + LimitAdvice(packet, dumpFile));
    }
    values.push_back(std::move(value));
    text.append("?,");
  }
  sent.assign(values.begin(), values.end());
  text.back() = ')';
  text += ";";
  return context.executor.ExecuteWithLongValues(text, sent);
}

bool OversizedRow::Refuse(const std::string& why) {
  refusedHere = true;
  Report(owner, context.summary, why);
  owner.ShowRowRefusal(why, "Message", {});
  return false;
}

}  // namespace bracken::engine
