// The console's output pane: a read-only edit control showing the last log
// lines. Lines are kept here as the pane would hold them if every line were
// appended to the control on its own (a "\r\n" before and a blank after each,
// at most 301 lines, the first 100 cut when more than 300 are held); the
// control is brought up to date at most once per short interval, so that a
// burst of lines costs one update of the control instead of one per line.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <string_view>

#include "Edit.h"

class OutputPane {
public:
    static constexpr int kMaxLines = 300;  // more than this and the pane is cut
    static constexpr int kCutLines = 100;
    static constexpr DWORD kUpdateIntervalMs = 50;

    // The pane's control, bound to its window.
    void Attach(fw::Edit& control);

    // Appends one line (no line breaks in it); an empty text only cuts.
    void Append(std::string_view text);
    // Brings the control up to date now, if lines wait.
    void Flush();

private:
    // The deferred update runs on a timer of the pane's own control (never
    // of the console window, whose timer messages tick the engine).
    static constexpr UINT_PTR kUpdateTimerId = 1;
    static void CALLBACK OnUpdateTimer(HWND control, UINT, UINT_PTR, DWORD);
    bool UpToDate() const { return !m_rewrite && m_cutPending == 0 && m_shown == m_lines.size(); }

    fw::Edit* m_control = nullptr;  // not owned
    std::deque<std::string> m_lines{std::string()};  // an empty pane has one empty line
    // The control shows the first m_shown lines of m_lines, after m_cutPending
    // lines at its top that are to go; m_rewrite when that no longer holds.
    std::size_t m_shown = 1;
    std::size_t m_cutPending = 0;
    bool m_rewrite = false;
    bool m_timerSet = false;
    DWORD m_lastUpdate = 0;
};
