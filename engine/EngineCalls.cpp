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

// The two clock reads are the only cost the figures add to a tick.
void ServerTick() {
    const std::int64_t start = stats::Now();
    GuardEngineCall([] { pServerTick(); });
    stats::RecordTick(start, stats::Now());
}

void Process(const char* command, stats::CommandSource source) {
    const std::int64_t start = stats::Now();
    GuardEngineCall([&] { edsrvProcess(kEngineChannel, 0, command); });
    stats::RecordCommand(source, start, stats::Now());
}

void ClientRequest(const char* first, const char* second, char* reply) {
    stats::RecordPropertyRequest();
    GuardEngineCall(
        [&] { linktopicProcessClientRequest(kEngineChannel, first, second, 0, reply); });
}

void ClientData(const char* first, const char* second, const char* value) {
    stats::RecordPropertyData();
    GuardEngineCall([&] { linktopicProcessClientData(kEngineChannel, first, second, 0, value); });
}

}  // namespace engine
