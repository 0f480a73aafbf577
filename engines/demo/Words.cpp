#include "Words.h"

namespace demo {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string_view Words::Next() {
    std::string_view rest = Rest();
    std::size_t end = 0;
    while (end < rest.size() && !IsBlank(rest[end])) ++end;
    m_text = rest.substr(end);
    return rest.substr(0, end);
}

std::string_view Words::Rest() {
    std::size_t start = 0;
    while (start < m_text.size() && IsBlank(m_text[start])) ++start;
    m_text.remove_prefix(start);
    return m_text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

}  // namespace demo
