// GDI handles, each released with its holder: the paint device context
// (BeginPaint/EndPaint), a window's device context (GetDC/ReleaseDC), memory
// device contexts (one with a bitmap to draw into), a solid brush, and an
// object selected into a device context (put back on release).
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

class WindowDC {
public:
    explicit WindowDC(HWND window) : m_hWnd(window), m_hDC(::GetDC(window)) {}
    ~WindowDC() {
        if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return m_hDC; }

private:
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

// A memory device context compatible with `dc`, holding a bitmap of the
// given size to draw into; Get() is null when either could not be made.
class MemoryDC {
public:
    MemoryDC(HDC dc, int width, int height)
        : m_hDC(::CreateCompatibleDC(dc)), m_hBitmap(::CreateCompatibleBitmap(dc, width, height)) {
        if (m_hDC && m_hBitmap) m_old = ::SelectObject(m_hDC, m_hBitmap);
    }
    ~MemoryDC() {
        if (m_old) ::SelectObject(m_hDC, m_old);
        if (m_hBitmap) ::DeleteObject(m_hBitmap);
        if (m_hDC) ::DeleteDC(m_hDC);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;

    HDC Get() const { return m_old ? m_hDC : nullptr; }

private:
    HDC m_hDC;
    HBITMAP m_hBitmap;
    HGDIOBJ m_old = nullptr;
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
