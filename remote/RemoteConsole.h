// The remote console: engine commands from remote administration clients
// over TCP (the Source RCON framing), off unless System\Velmor.ini gives it a
// password. The application starts it once the engine runs and stops it in
// the close sequence, before the engine stops.
#pragma once

#include <functional>
#include <memory>

namespace remote {

class RemoteConsole {
public:
    RemoteConsole();
    ~RemoteConsole();
    RemoteConsole(const RemoteConsole&) = delete;
    RemoteConsole& operator=(const RemoteConsole&) = delete;

    // On the GUI thread. Reads the settings file at `iniPath` (a full path);
    // when they turn it on, listens and says where in the log; when they are
    // wrong, says why. Without a file, a section or a password, nothing
    // happens at all.
    void Start(const char* iniPath);
    // On the GUI thread: closes the listener and every connection; commands
    // still waiting are not run. True when it is all gone (or was never
    // started). False when a remote command is still running inside the
    // engine (which runs the message loop, and so brought the close here):
    // the rest goes once it returns, and `again` is called then, so that the
    // close can be asked for again.
    bool Stop(std::function<void()> again = nullptr);

private:
    struct Running;
    std::unique_ptr<Running> m_running;
};

}  // namespace remote
