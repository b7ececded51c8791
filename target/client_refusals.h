#pragma once

// What the connection says when it refuses a statement itself, before the
// server sees it; shared with the test doubles that stand for a server.

#include <cstddef>
#include <cstdint>
#include <string>

namespace bracken::target {

std::string StatementTooLongText(std::size_t statementBytes, std::uint64_t maxAllowedPacket);
std::string ValueTooLongText(std::size_t valueBytes, std::uint64_t maxAllowedPacket);
std::string PlaceholderMismatchText(std::size_t placeholders, std::size_t values);

}  // namespace bracken::target
