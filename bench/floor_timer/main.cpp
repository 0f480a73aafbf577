// The tick floor: the shell's frame timer and nothing else. A periodic
// multimedia timer of 28 ms at a resolution of 7 ms posts WM_TIMER to the
// program's own window; the window timestamps each message on arrival and then
// stays busy for BUSY_MS, as an engine tick would. After SECONDS it writes one
// time per line to OUTPUT, in microseconds of the performance counter, the
// clock that every process of the machine reads (so that a run beside the
// shell can be cut into the windows its starter timed).
//
// usage: floor_timer SECONDS BUSY_MS OUTPUT
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Qpc.h"
#include "UniqueHandle.h"

namespace {

constexpr UINT kPeriod = 28;
constexpr UINT kResolution = 7;
constexpr char kClassName[] = "BenchFloorTimer";

struct Run {
    std::int64_t endAfter = 0;  // counts after the first tick
    DWORD busyMs = 0;
    std::vector<std::int64_t> ticks;  // performance counter at each tick
};

Run g_run;
std::atomic<HWND> g_window{nullptr};

void CALLBACK TimerCallback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    // Timer thread: one read and one post, as the shell's callback does.
    if (HWND window = g_window.load(std::memory_order_acquire))
        ::PostMessageA(window, WM_TIMER, 0, 0);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER: {
        const std::int64_t now = bench::QpcNow();
        g_run.ticks.push_back(now);
        if (now - g_run.ticks.front() >= g_run.endAfter) {
            g_window.store(nullptr, std::memory_order_release);
            ::DestroyWindow(window);
            return 0;
        }
        if (g_run.busyMs) ::Sleep(g_run.busyMs);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

bool WriteTicks(const char* path) {
    fw::UniqueFile file = fw::OpenFile(path, "w");
    if (!file) return false;
    for (std::int64_t tick : g_run.ticks) std::fprintf(file.get(), "%.1f\n", bench::QpcToMicroseconds(tick));
    return std::fflush(file.get()) == 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc != 4) return 2;
    const double seconds = std::atof(__argv[1]);
    g_run.busyMs = static_cast<DWORD>(std::atoi(__argv[2]));
    g_run.endAfter = static_cast<std::int64_t>(seconds * static_cast<double>(bench::QpcFrequency()));
    g_run.ticks.reserve(static_cast<std::size_t>(seconds * 40) + 100);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    if (!::RegisterClassA(&windowClass)) return 1;
    HWND window = ::CreateWindowExA(0, kClassName, "Tick floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                    0, 0, 300, 100, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    g_window.store(window, std::memory_order_release);

    ::timeBeginPeriod(kResolution);
    const UINT timer = ::timeSetEvent(kPeriod, kResolution, TimerCallback, 0, TIME_PERIODIC);
    MSG message;
    while (timer && ::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    if (timer) ::timeKillEvent(timer);
    ::timeEndPeriod(kResolution);
    return timer && WriteTicks(__argv[3]) ? 0 : 1;
}
