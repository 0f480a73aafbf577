// Strict decimal parsing for command arguments: the whole text must be a
// number within the given range, otherwise the parse fails.
#pragma once

#include <cstdint>
#include <string_view>

namespace engines {

// An optional sign and decimal digits, nothing else, within [low, high].
bool ParseInteger(std::string_view text, std::int64_t low, std::int64_t high,
                  std::int64_t& value);

bool ParseInt32(std::string_view text, std::int32_t& value);

// Accepts 0..4294967295, and also -2147483648..-1, which wraps as a 32-bit
// unsigned conversion would (so "-1" is 0xFFFFFFFF).
bool ParseUInt32(std::string_view text, std::uint32_t& value);

}  // namespace engines
