#include "EchoLog.h"

#include <mmsystem.h>

#include <atomic>
#include <cstdio>
#include <deque>

#include "Qpc.h"
#include "UniqueHandle.h"

namespace floor_server {

namespace {

constexpr UINT kPeriodMs = 28;
constexpr UINT kResolutionMs = 7;
constexpr DWORD kRepaintIntervalMs = 40;
constexpr std::size_t kMostLines = 300;
constexpr std::size_t kDroppedLines = 100;
constexpr std::size_t kTextLength = 255;
constexpr char kClassName[] = "BenchFloorEcho";

struct EchoState {
    fw::UniqueFile file;
    fw::UniqueFile ticks;  // null unless asked for
    std::deque<std::string> lines;
    bool changed = false;
    DWORD lastPaint = 0;
    UINT timer = 0;
    HWND window = nullptr;
};

EchoState g_echo;
std::atomic<HWND> g_tickWindow{nullptr};

void CALLBACK Tick(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    // Timer thread: one read and one post, as the shell's callback does.
    if (HWND window = g_tickWindow.load(std::memory_order_acquire)) ::PostMessageA(window, WM_TIMER, 0, 0);
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT client;
    ::GetClientRect(window, &client);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(dc, &metrics);
    const int height = metrics.tmHeight > 0 ? metrics.tmHeight : 13;
    const auto visible = static_cast<std::size_t>(client.bottom / height + 1);
    const std::size_t first = g_echo.lines.size() > visible ? g_echo.lines.size() - visible : 0;
    int y = 0;
    for (std::size_t i = first; i < g_echo.lines.size(); ++i, y += height)
        ::TextOutA(dc, 2, y, g_echo.lines[i].data(), static_cast<int>(g_echo.lines[i].size()));
    ::EndPaint(window, &paint);
    g_echo.lastPaint = ::GetTickCount();
    g_echo.changed = false;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (g_echo.ticks) {
            std::fprintf(g_echo.ticks.get(), "%.1f\n", bench::QpcToMicroseconds(bench::QpcNow()));
            std::fflush(g_echo.ticks.get());
        }
        // The tick: what changed since the last paint is painted now.
        if (g_echo.changed && ::GetTickCount() - g_echo.lastPaint >= kRepaintIntervalMs) {
            ::InvalidateRect(window, nullptr, FALSE);
            ::UpdateWindow(window);
        }
        return 0;
    case WM_PAINT:
        Paint(window);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

bool StartEchoLog(HINSTANCE instance, const char* path, const char* ticksPath) {
    g_echo.file = fw::OpenFile(path, "w");
    if (ticksPath && !(g_echo.ticks = fw::OpenFile(ticksPath, "w"))) return false;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    if (!g_echo.file || !::RegisterClassA(&windowClass)) return false;
    g_echo.window = ::CreateWindowExA(0, kClassName, "Exec echo floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600,
                                      400, nullptr, nullptr, instance, nullptr);
    if (!g_echo.window) return false;
    g_tickWindow.store(g_echo.window, std::memory_order_release);
    ::timeBeginPeriod(kResolutionMs);
    g_echo.timer = ::timeSetEvent(kPeriodMs, kResolutionMs, Tick, 0, TIME_PERIODIC);
    return g_echo.timer != 0;
}

void StopEchoLog() {
    g_tickWindow.store(nullptr, std::memory_order_release);
    if (g_echo.timer) {
        ::timeKillEvent(g_echo.timer);
        ::timeEndPeriod(kResolutionMs);
    }
    g_echo.timer = 0;
    if (g_echo.window) ::DestroyWindow(g_echo.window);
    g_echo.window = nullptr;
    g_echo.file.reset();
    g_echo.ticks.reset();
}

void EchoLine(const std::string& text) {
    if (!g_echo.window) return;
    std::string line = "INFO: ";
    line.append(text, 0, std::min(text.size(), kTextLength));
    if (g_echo.file) {
        std::fputs(line.c_str(), g_echo.file.get());
        std::fputc('\n', g_echo.file.get());
    }
    if (g_echo.lines.size() > kMostLines)
        g_echo.lines.erase(g_echo.lines.begin(), g_echo.lines.begin() + kDroppedLines);
    g_echo.lines.push_back(std::move(line));
    g_echo.changed = true;
}

}  // namespace floor_server
