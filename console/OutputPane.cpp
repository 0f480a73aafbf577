#include "OutputPane.h"

namespace {

void AppendLines(std::string& out, const std::deque<std::string>& lines, std::size_t from) {
    for (std::size_t i = from; i < lines.size(); ++i) out.append("\r\n").append(lines[i]);
}

}  // namespace

void OutputPane::Attach(fw::Edit& control) {
    m_control = &control;
    ::SetWindowLongPtrA(control.m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_lastUpdate = ::GetTickCount() - kUpdateIntervalMs;
}

void OutputPane::Append(std::string_view text) {
    if (m_lines.size() > static_cast<std::size_t>(kMaxLines)) {
        m_lines.erase(m_lines.begin(), m_lines.begin() + kCutLines);
        if (m_shown >= static_cast<std::size_t>(kCutLines)) {
            m_shown -= kCutLines;
            m_cutPending += kCutLines;
        } else {
            m_rewrite = true;  // lines the control never showed were cut
        }
    }
    if (!text.empty()) {
        std::string line;
        line.reserve(text.size() + 1);
        line.append(text).append(" ");
        m_lines.push_back(std::move(line));
    }
    if (UpToDate() || m_timerSet || !m_control || !m_control->m_hWnd) return;

    // Never inside the burst itself: the update runs once the GUI thread is
    // free again, and at most once per interval.
    const DWORD since = ::GetTickCount() - m_lastUpdate;
    const DWORD delay = since >= kUpdateIntervalMs ? USER_TIMER_MINIMUM : kUpdateIntervalMs - since;
    if (::SetTimer(m_control->m_hWnd, kUpdateTimerId, delay, &OutputPane::OnUpdateTimer))
        m_timerSet = true;
    else
        Flush();  // no timer to be had: show the line now rather than never
}

void CALLBACK OutputPane::OnUpdateTimer(HWND control, UINT, UINT_PTR, DWORD) {
    auto* pane = reinterpret_cast<OutputPane*>(::GetWindowLongPtrA(control, GWLP_USERDATA));
    if (pane) pane->Flush();
}

void OutputPane::Flush() {
    if (!m_control || !m_control->m_hWnd) return;
    if (m_timerSet) {
        ::KillTimer(m_control->m_hWnd, kUpdateTimerId);
        m_timerSet = false;
    }
    m_lastUpdate = ::GetTickCount();
    if (UpToDate()) return;

    std::string text;
    if (m_rewrite) {
        text = m_lines.front();
        AppendLines(text, m_lines, 1);
        m_control->SetText(text.c_str());
    } else {
        if (m_cutPending > 0) {
            m_control->SetSel(0, m_control->LineIndex(static_cast<int>(m_cutPending)));
            m_control->ReplaceSel("", false);
        }
        AppendLines(text, m_lines, m_shown);
    }
    // The caret goes to the end, with an empty selection, and the control
    // scrolls it (and with it the newest line) into view.
    const int end = m_control->GetTextLength();
    m_control->SetSel(end, end);
    if (!m_rewrite && !text.empty()) m_control->ReplaceSel(text.c_str(), false);
    m_control->ScrollCaret();
    m_shown = m_lines.size();
    m_cutPending = 0;
    m_rewrite = false;
}
