#include "PaneSearch.h"

#include <windows.h>

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Letters and digits of the system's character set, and the underscore.
bool IsWordChar(char c) { return c == '_' || ::IsCharAlphaNumericA(c); }

// Case folded the system's way for the ANSI character set; the length stays.
std::string Folded(std::string_view text) {
    std::string folded(text);
    if (!folded.empty()) ::CharLowerBuffA(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

}  // namespace

std::optional<PaneMatch> FindInPane(std::string_view text, const PaneSearch& search, std::size_t selFrom,
                                    std::size_t selTo) {
    if (search.what.empty() || search.what.size() > text.size()) return std::nullopt;
    const std::string foldedText = search.matchCase ? std::string() : Folded(text);
    const std::string foldedWhat = search.matchCase ? std::string() : Folded(search.what);
    const std::string_view haystack = search.matchCase ? text : std::string_view(foldedText);
    const std::string_view needle = search.matchCase ? std::string_view(search.what) : std::string_view(foldedWhat);
    const std::size_t n = needle.size();

    const auto fits = [&](std::size_t at) {
        if (!search.wholeWord) return true;
        return (at == 0 || !IsWordChar(text[at - 1])) && (at + n == text.size() || !IsWordChar(text[at + n]));
    };
    // The first fitting match starting at or after `from`.
    const auto forward = [&](std::size_t from) {
        std::size_t at = haystack.find(needle, from);
        while (at != kNone && !fits(at)) at = haystack.find(needle, at + 1);
        return at;
    };
    // The last fitting match starting at or before `from`.
    const auto backward = [&](std::size_t from) {
        std::size_t at = haystack.rfind(needle, from);
        while (at != kNone && !fits(at)) at = at == 0 ? kNone : haystack.rfind(needle, at - 1);
        return at;
    };

    std::size_t at;
    if (search.down) {
        at = selTo <= text.size() ? forward(selTo) : kNone;
        if (at == kNone) at = forward(0);
    } else {
        at = selFrom >= n ? backward(selFrom - n) : kNone;
        if (at == kNone) at = backward(kNone);
    }
    if (at == kNone) return std::nullopt;
    return PaneMatch{at, at + n};
}
