#include "ServerLock.h"

#include <windows.h>

namespace floor_server {

namespace {
volatile LONG g_count = 0;
}

void Lock() { ::InterlockedIncrement(&g_count); }

void Unlock() {
    // Calls arrive on the server's one (apartment) thread, which runs the loop.
    if (::InterlockedDecrement(&g_count) == 0) ::PostQuitMessage(0);
}

}  // namespace floor_server
