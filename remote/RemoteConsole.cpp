#include "RemoteConsole.h"

#include <string>

#include "CommandExchange.h"
#include "CommandRunner.h"
#include "RconServer.h"
#include "RemoteSettings.h"
#include "UniqueHandle.h"
#include "Winsock.h"
#include "log/Log.h"

namespace remote {

// Members in the order they are made; they go in reverse: the socket thread
// ends before the window that runs its commands, and Winsock last.
struct RemoteConsole::Running {
    explicit Running(RemoteSettings settings)
        : exchange(wake.Get()), runner(exchange), server(std::move(settings), exchange, wake.Get()) {}
    ~Running() {
        server.Stop();
        runner.Stop();
    }

    WinsockSession winsock;
    fw::UniqueHandle wake{
        ::CreateEventA(nullptr, FALSE, FALSE, nullptr)};  // auto-reset: replies are ready, or stop
    CommandExchange exchange;
    CommandRunner runner;
    RconServer server;
};

RemoteConsole::RemoteConsole() = default;

RemoteConsole::~RemoteConsole() { Stop(); }

void RemoteConsole::Start(const char* iniPath) {
    if (m_running) return;
    RemoteSettings settings;
    std::string why;
    switch (ReadRemoteSettings(iniPath, settings, why)) {
    case SettingsVerdict::kOff:
        return;
    case SettingsVerdict::kWrong:
        Logf(LogCategory::Info, "Remote console off: %s", why.c_str());
        return;
    case SettingsVerdict::kOn:
        break;
    }
    const std::string address = settings.addressText;
    const bool loopback = (settings.address >> 24) == 127;
    auto running = std::make_unique<Running>(std::move(settings));
    if (!running->winsock || !running->wake) {
        Log(LogCategory::Info, "Remote console off: Windows Sockets could not start");
        return;
    }
    if (!running->server.Listen(why) || !running->runner.Start() || !running->server.Start(why)) {
        Logf(LogCategory::Info, "Remote console off: %s",
             why.empty() ? "its window could not be made" : why.c_str());
        return;
    }
    Logf(LogCategory::Info, "Remote console listening on %s:%u", address.c_str(),
         static_cast<unsigned>(running->server.Port()));
    if (!loopback)
        Logf(LogCategory::Info,
             "Remote console: %s is reachable from other machines; anyone who reaches port %u may try the "
             "password",
             address.c_str(), static_cast<unsigned>(running->server.Port()));
    m_running = std::move(running);
}

void RemoteConsole::Stop() {
    if (!m_running) return;
    m_running.reset();
    Log(LogCategory::Info, "Remote console closed");
}

}  // namespace remote
