// Shell-wide state that the console window writes and the frame timer reads.
#pragma once

#include <atomic>
#include <cstdint>

// 0 stopped, 1 console open (also while shutting down), 2 engine running.
// Written only by the console on the GUI thread; the frame timer's callback
// reads it on the system's timer thread, hence atomic.
enum RunState : std::int32_t { kRunStopped = 0, kRunConsoleOpen = 1, kRunEngineRunning = 2 };
extern std::atomic<std::int32_t> g_runState;

// 0 until the console's first paint starts the engine, then 1 for good.
extern int g_engineStarted;
