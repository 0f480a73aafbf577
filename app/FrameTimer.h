// The frame timer: a periodic multimedia timer whose callback, on the system's
// timer thread, posts one WM_TIMER to the console window per period while the
// engine runs. The console's OnTimer then ticks the engine on the GUI thread.
#pragma once

void timerInit(unsigned rate);  // ticks per second
void timerExit();
void timerEnable();
void timerDisable();
