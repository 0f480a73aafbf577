#include "FrameTimer.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

#include "VelmorApp.h"
#include "console/RunState.h"
#include "console/VelmorConsole.h"
#include "engine/Statistics.h"
#include "log/Log.h"

namespace {

UINT g_timerHandle = 0;  // 0 while no timer runs
unsigned g_rate = 1000;  // ticks per second

unsigned Period() { return 1000 / g_rate; }
unsigned Resolution() { return 250 / g_rate; }

void CALLBACK timerCallback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    // Timer thread: reads and one post, nothing else. The console pointer is
    // set before the timer starts and never changes.
    if (g_runState.load(std::memory_order_acquire) != kRunEngineRunning) return;
    const VelmorConsole* console = theApp.m_pConsole;
    if (!console) return;
    if (HWND window = console->PublishedWindow())
        ::PostMessageA(window, WM_TIMER, 0, 0);  // result deliberately ignored
}

}  // namespace

void timerInit(unsigned rate) {
    // A rate of 0 would divide by zero; the slowest rate is one tick a second.
    g_rate = rate ? rate : 1;
    stats::SetTickPeriod(Period());  // each tick's lateness is taken from its place on this schedule
    Logf(LogCategory::Init, "Timer initialized, %i fps", static_cast<int>(g_rate));
    ::timeBeginPeriod(Resolution());
    timerEnable();
}

void timerEnable() {
    if (g_timerHandle != 0) {
        Log(LogCategory::Info, "timerEnable: Already enabled");
        return;
    }
    // 0 if the system refuses: the timer stays stopped, as designed, silently.
    g_timerHandle = ::timeSetEvent(Period(), Resolution(), &timerCallback, 0, TIME_PERIODIC);
}

void timerDisable() {
    if (g_timerHandle == 0) {
        Log(LogCategory::Info, "timerDisable: Not enabled");
        return;
    }
    ::timeKillEvent(g_timerHandle);
    g_timerHandle = 0;
}

void timerExit() {
    timerDisable();
    ::timeEndPeriod(Resolution());
}
