// The demo engine's exports: the platform record and the six entry points.
// Nothing may leave an entry point by exception, since the shell's frames
// above it cannot unwind one.
#include "vmserver.h"

#include "Commands.h"
#include "DemoEngine.h"
#include "EngineLog.h"

#include <exception>

// Filled by the shell before any call below; zero until then.
PlatformRecord PLATFORM;

namespace demo {

DemoEngine& Engine() {
    static DemoEngine engine;
    return engine;
}

namespace {

template <typename Body>
void Guarded(const char* where, Body body) {
    try {
        body();
    } catch (const std::exception& error) {
        LogFormat(kLogInfo, "%s failed: %s", where, error.what());
    } catch (...) {
        LogFormat(kLogInfo, "%s failed", where);
    }
}

}  // namespace

}  // namespace demo

using namespace demo;

extern "C" {

void __cdecl pInitAll(HINSTANCE) {
    Guarded("pInitAll", [] {
        Engine().clock.Start();
        // Both record strings hold at most 255 characters and a NUL; %.255s
        // keeps the read inside them even if the shell left one unterminated.
        LogFormat(kLogInit, "Demo engine started: command line \"%.255s\", executable \"%.255s\"",
                  PLATFORM.CmdLine, PLATFORM.ExeName);
    });
}

void __cdecl pExitAll() {
    Guarded("pExitAll", [] {
        LogFormat(kLogExit, "Demo engine ended after %llu ticks",
                  static_cast<unsigned long long>(Engine().clock.Ticks()));
    });
}

void __cdecl pServerTick() {
    Engine().clock.Tick();
}

void __cdecl edsrvProcess(int, int, const char* command) {
    Guarded("edsrvProcess", [command] {
        LogFormat(kLogInfo, "Engine received: %s", command ? command : "");
        RunCommand(command);
    });
}

void __cdecl linktopicProcessClientRequest(int, const char* first, const char* second, int,
                                           char* reply) {
    // Terminated first, so that even a failed lookup leaves a valid reply.
    if (reply) reply[0] = '\0';
    Guarded("linktopicProcessClientRequest", [&] {
        Engine().properties.CopyReply(first, second, reply);
    });
}

void __cdecl linktopicProcessClientData(int, const char* first, const char* second, int,
                                        const char* value) {
    Guarded("linktopicProcessClientData", [&] {
        Engine().properties.Set(first, second, value);
    });
}

}  // extern "C"
