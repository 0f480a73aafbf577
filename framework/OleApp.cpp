#include "OleApp.h"

#include <windows.h>
#include <ole2.h>

#include "OleObjectFactory.h"

namespace fw {
namespace {

bool g_oleInitialised = false;
volatile LONG g_lockCount = 0;

}  // namespace

bool OleInit() {
    if (FAILED(::OleInitialize(nullptr))) return false;
    g_oleInitialised = true;
    return true;
}

void OleTerm() {
    if (!g_oleInitialised) return;
    OleObjectFactory::RevokeAll();
    ::OleUninitialize();
    g_oleInitialised = false;
}

void OleLockApp() { ::InterlockedIncrement(&g_lockCount); }

void OleUnlockApp() { ::InterlockedDecrement(&g_lockCount); }

bool OleCanExitApp() { return OleLockCount() == 0; }

long OleLockCount() { return ::InterlockedCompareExchange(&g_lockCount, 0, 0); }

}  // namespace fw
