// The paint device context of a window's WM_PAINT: BeginPaint with the
// holder, EndPaint when it goes.
#pragma once

#include <windows.h>

class PaintDC {
public:
    explicit PaintDC(HWND window) : m_hWnd(window), m_hDC(::BeginPaint(window, &m_ps)) {}
    ~PaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    HDC Get() const { return m_hDC; }
    const RECT& UpdateRect() const { return m_ps.rcPaint; }

private:
    PAINTSTRUCT m_ps{};
    HWND m_hWnd;
    HDC m_hDC;
};
