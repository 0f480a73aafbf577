// The recorder's exports: the platform record and the six entry points. Each
// call is journaled before anything else happens. Nothing may leave an entry
// point by exception, since the shell's frames above it cannot unwind one.
#include "vmserver.h"

#include "CommandFile.h"
#include "ControlCommands.h"
#include "Journal.h"
#include "RecorderState.h"
#include "TextFormat.h"

#include <cstdint>
#include <cstring>
#include <exception>

// Filled by the shell before any call below; zero until then.
PlatformRecord PLATFORM;

namespace recorder {

RecorderState& State() {
    static RecorderState state;
    return state;
}

namespace {

// Starts the clock on the very first call, so tick times have an origin even
// if pInitAll never runs.
RecorderState& FirstCallState() {
    RecorderState& state = State();
    if (!state.clock.Started()) state.clock.Start();
    return state;
}

template <typename Body>
void Guarded(Body body) {
    try {
        body();
    } catch (const std::exception& error) {
        Journal("error exception " + Quote(error.what()));
    } catch (...) {
        Journal("error exception \"\"");
    }
}

void FixedReply(const ReplyMode& mode, char* reply) {
    if (mode.length < 0) {
        // The whole buffer and no terminator, to prove the shell stops at its end.
        std::memset(reply, mode.fill, kEngineReplySize);
        return;
    }
    const auto length = static_cast<std::size_t>(mode.length);  // at most kEngineReplySize - 1
    std::memset(reply, mode.fill, length);
    reply[length] = '\0';
}

}  // namespace

}  // namespace recorder

using namespace recorder;

extern "C" {

void __cdecl pInitAll(HINSTANCE instance) {
    Guarded([instance] {
        RecorderState& state = FirstCallState();
        Journal(Format("pInitAll hinstance=0x%08llX",
                       static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(instance))));
        state.clock.Start();
        RunCommandFile("recorder.cmds");
        RunHooks(state.onInit);
    });
}

void __cdecl pExitAll() {
    Guarded([] {
        RecorderState& state = FirstCallState();
        Journal("pExitAll");
        RunHooks(state.onExit);
    });
}

void __cdecl pServerTick() {
    Guarded([] {
        RecorderState& state = FirstCallState();
        ++state.ticks;
        Journal(Format("pServerTick n=%llu t=%llu", static_cast<unsigned long long>(state.ticks),
                       static_cast<unsigned long long>(state.clock.Microseconds())));
        RunHooks(state.onTick);
    });
}

void __cdecl edsrvProcess(int channel, int flags, const char* command) {
    Guarded([=] {
        FirstCallState();
        Journal(Format("edsrvProcess %d %d ", channel, flags) + QuoteNullable(command));
        if (command && IsControlCommand(command)) RunControlCommand(command);
    });
}

void __cdecl linktopicProcessClientRequest(int channel, const char* first, const char* second,
                                           int flags, char* reply) {
    // Terminated first, so that even a failed call leaves a valid reply.
    if (reply) reply[0] = '\0';
    Guarded([=] {
        const RecorderState& state = FirstCallState();
        Journal(Format("linktopicProcessClientRequest %d ", channel) + QuoteNullable(first) + ' ' +
                QuoteNullable(second) + Format(" %d", flags));
        if (!reply) return;
        if (state.reply.fixed) {
            FixedReply(state.reply, reply);
        } else {
            state.properties.CopyReply(first, second, reply);
        }
    });
}

void __cdecl linktopicProcessClientData(int channel, const char* first, const char* second,
                                        int flags, const char* value) {
    Guarded([=] {
        RecorderState& state = FirstCallState();
        Journal(Format("linktopicProcessClientData %d ", channel) + QuoteNullable(first) + ' ' +
                QuoteNullable(second) + Format(" %d ", flags) + QuoteNullable(value));
        state.properties.Set(first, second, value);
    });
}

}  // extern "C"
