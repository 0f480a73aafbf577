// The two GDI handles of a paint: the paint device context, which BeginPaint
// hands out and EndPaint takes back, and a solid brush that is deleted with
// its holder.
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

class SolidBrush {
public:
    explicit SolidBrush(COLORREF colour) : m_hBrush(::CreateSolidBrush(colour)) {}
    ~SolidBrush() {
        if (m_hBrush) ::DeleteObject(m_hBrush);
    }
    SolidBrush(const SolidBrush&) = delete;
    SolidBrush& operator=(const SolidBrush&) = delete;

    HBRUSH Get() const { return m_hBrush; }

private:
    HBRUSH m_hBrush;
};
