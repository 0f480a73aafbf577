// The shell's calls into the engine library: one function per entry point,
// each run inside the engine-fault guard. Code outside engine/ calls the
// engine through these only, so every engine call is guarded, and the ticks,
// commands and property calls are timed and counted here (Statistics.h).
#pragma once

#include <windows.h>

#include "engine/Statistics.h"

namespace engine {

void InitAll(HINSTANCE instance);
void ExitAll();
void ServerTick();

// edsrvProcess(kEngineChannel, 0, command), counted under its source.
void Process(const char* command, stats::CommandSource source);

// linktopicProcessClientRequest(kEngineChannel, first, second, 0, reply);
// reply holds kEngineReplySize bytes.
void ClientRequest(const char* first, const char* second, char* reply);

// linktopicProcessClientData(kEngineChannel, first, second, 0, value).
void ClientData(const char* first, const char* second, const char* value);

}  // namespace engine
