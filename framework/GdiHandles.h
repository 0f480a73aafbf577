// GDI handles, each released with its holder: the paint device context
// (BeginPaint/EndPaint), a memory device context for measuring text, a solid
// brush, and an object selected into a device context (put back on release).
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

class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : m_hDC(dc), m_old(object ? ::SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (m_old) ::SelectObject(m_hDC, m_old);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_old;
};

// A memory device context compatible with the screen, for measuring text.
class UniqueDC {
public:
    UniqueDC() : m_hDC(::CreateCompatibleDC(nullptr)) {}
    ~UniqueDC() {
        if (m_hDC) ::DeleteDC(m_hDC);
    }
    UniqueDC(const UniqueDC&) = delete;
    UniqueDC& operator=(const UniqueDC&) = delete;

    HDC Get() const { return m_hDC; }

private:
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
