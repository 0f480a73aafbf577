#include "EngineCalls.h"

#include "engine/EngineGuard.h"
#include "engine/vmserver.h"

// Results of engine calls are never examined.
namespace engine {

void InitAll(HINSTANCE instance) {
    GuardEngineCall([&] { pInitAll(instance); });
}

void ExitAll() {
    GuardEngineCall([] { pExitAll(); });
}

void ServerTick() {
    GuardEngineCall([] { pServerTick(); });
}

void Process(const char* command) {
    GuardEngineCall([&] { edsrvProcess(kEngineChannel, 0, command); });
}

void ClientRequest(const char* first, const char* second, char* reply) {
    GuardEngineCall(
        [&] { linktopicProcessClientRequest(kEngineChannel, first, second, 0, reply); });
}

void ClientData(const char* first, const char* second, const char* value) {
    GuardEngineCall([&] { linktopicProcessClientData(kEngineChannel, first, second, 0, value); });
}

}  // namespace engine
