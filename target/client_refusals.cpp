#include "target/client_refusals.h"

namespace bracken::target {

std::string StatementTooLongText(std::size_t statementBytes, std::uint64_t maxAllowedPacket) {
  return "The statement of " + std::to_string(statementBytes) +
         " bytes is longer than the server's max_allowed_packet (" +
         std::to_string(maxAllowedPacket) + " bytes) allows.";
}

std::string ValueTooLongText(std::size_t valueBytes, std::uint64_t maxAllowedPacket) {
  return "A value of " + std::to_string(valueBytes) +
         " bytes is longer than the server's max_allowed_packet (" +
         std::to_string(maxAllowedPacket) + " bytes).";
}

std::string PlaceholderMismatchText(std::size_t placeholders, std::size_t values) {
  return "The statement has " + std::to_string(placeholders) + " placeholders for " +
         std::to_string(values) + " values.";
}

}  // namespace bracken::target
