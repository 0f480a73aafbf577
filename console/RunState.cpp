#include "RunState.h"

std::atomic<std::int32_t> g_runState{kRunStopped};
int g_engineStarted = 0;
