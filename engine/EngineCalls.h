// The shell's calls into the engine library: one function per entry point,
// each run inside the engine-fault guard. Code outside engine/ calls the
// engine through these only, so every engine call is guarded.
#pragma once

#include <windows.h>

namespace engine {

void InitAll(HINSTANCE instance);
void ExitAll();
void ServerTick();

// edsrvProcess(kEngineChannel, 0, command).
void Process(const char* command);

// linktopicProcessClientRequest(kEngineChannel, first, second, 0, reply);
// reply holds kEngineReplySize bytes.
void ClientRequest(const char* first, const char* second, char* reply);

// linktopicProcessClientData(kEngineChannel, first, second, 0, value).
void ClientData(const char* first, const char* second, const char* value);

}  // namespace engine
