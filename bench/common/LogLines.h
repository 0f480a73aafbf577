// The lines of a log burst, as the recording engine's "rec.logrepeat" makes
// them and the shell's Log formats them: "INFO: <i> xxx...", the text after
// the category name cut or filled to `length` characters.
#pragma once

#include <string>

namespace bench {

inline std::string LogLine(long long index, std::size_t length) {
    std::string text = std::to_string(index) + ' ';
    text.resize(length, 'x');
    return "INFO: " + text;
}

}  // namespace bench
