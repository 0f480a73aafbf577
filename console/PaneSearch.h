// Finding text in the output pane's text, as the Find dialog asks: with or
// without regard to case, whole words only or anywhere, down or up from the
// selection. The search goes round: past the end (or the start) it goes on
// from the other end, so that a match anywhere in the pane is found.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct PaneSearch {
    std::string what;
    bool matchCase = false;
    bool wholeWord = false;
    bool down = true;
};

struct PaneMatch {
    std::size_t from;
    std::size_t to;
};

// The match nearest the selection [selFrom, selTo) in the search's direction:
// down, the first that starts at or after selTo, else the first of all; up,
// the last that ends at or before selFrom, else the last of all. Nothing for
// an empty `what` or when `text` holds no match. Offsets are characters.
std::optional<PaneMatch> FindInPane(std::string_view text, const PaneSearch& search, std::size_t selFrom,
                                    std::size_t selTo);
