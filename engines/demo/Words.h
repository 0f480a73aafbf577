// Splits a command into blank-separated words.
#pragma once

#include <string_view>

namespace demo {

class Words {
public:
    explicit Words(std::string_view text) : m_text(text) {}

    // The next word (blanks are spaces and tabs), or "" when none is left.
    std::string_view Next();

    // Everything after the words taken so far, leading blanks skipped and
    // trailing blanks kept as typed.
    std::string_view Rest();

    bool AtEnd() { return Rest().empty(); }

private:
    std::string_view m_text;
};

// ASCII comparison ignoring case.
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace demo
