#include "ParseNumber.h"

#include <charconv>

namespace engines {

bool ParseInteger(std::string_view text, std::int64_t low, std::int64_t high,
                  std::int64_t& value) {
    // from_chars accepts '-' but not '+'; a '+' may stand alone before the digits.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '+' || text.front() == '-') return false;
    }
    std::int64_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, parsed, 10);
    if (result.ec != std::errc() || result.ptr != end) return false;
    if (parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

bool ParseInt32(std::string_view text, std::int32_t& value) {
    std::int64_t parsed = 0;
    if (!ParseInteger(text, INT32_MIN, INT32_MAX, parsed)) return false;
    value = static_cast<std::int32_t>(parsed);
    return true;
}

bool ParseUInt32(std::string_view text, std::uint32_t& value) {
    std::int64_t parsed = 0;
    if (!ParseInteger(text, INT32_MIN, UINT32_MAX, parsed)) return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

}  // namespace engines
