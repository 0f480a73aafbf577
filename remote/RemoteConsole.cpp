#include "RemoteConsole.h"

#include <string>

#include "CommandExchange.h"
#include "CommandRunner.h"
#include "RconHandler.h"
#include "RemoteSettings.h"
#include "UniqueHandle.h"
#include "Winsock.h"
#include "log/Log.h"

namespace remote {

namespace {

ServerLimits LimitsOf(const RemoteSettings& settings) {
    ServerLimits limits;
    limits.maxConnections = settings.maxConnections;
    limits.idleTime = static_cast<std::uint64_t>(settings.idleMinutes) * 60'000;
    return limits;
}

}  // namespace

// Members in the order they are made; they go in reverse: the socket thread
// ends before the window that runs its commands, and Winsock last.
struct RemoteConsole::Running {
    Running(const RemoteSettings& settings, ServerCounters& counters)
        : exchange(wake.Get(), static_cast<std::size_t>(settings.maxConnections)),
          runner(exchange),
          handler(settings.password, exchange, server, counters),
          server("Remote console", LimitsOf(settings), handler, counters, wake.Get()) {}
    ~Running() {
        server.Stop();
        runner.Stop();
    }

    WinsockSession winsock;
    fw::UniqueHandle wake{
        ::CreateEventA(nullptr, FALSE, FALSE, nullptr)};  // auto-reset: replies are ready, or stop
    CommandExchange exchange;
    CommandRunner runner;
    RconHandler handler;
    SocketServer server;
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
    const bool loopback = (settings.address >> 24) == 127;
    auto running = std::make_unique<Running>(settings, stats::Remote());  // the counters the metrics read
    if (!running->winsock || !running->wake) {
        Log(LogCategory::Info, "Remote console off: Windows Sockets could not start");
        return;
    }
    if (!running->server.Listen(settings.address, settings.port, why) || !running->runner.Start() ||
        !running->server.Start(why)) {
        Logf(LogCategory::Info, "Remote console off: %s",
             why.empty() ? "its window could not be made" : why.c_str());
        return;
    }
    Logf(LogCategory::Info, "Remote console listening on %s:%u", settings.addressText.c_str(),
         static_cast<unsigned>(running->server.Port()));
    if (!loopback)
        Logf(LogCategory::Info,
             "Remote console: %s is reachable from other machines; anyone who reaches port %u may try the "
             "password",
             settings.addressText.c_str(), static_cast<unsigned>(running->server.Port()));
    m_running = std::move(running);
}

bool RemoteConsole::Stop(std::function<void()> again) {
    if (!m_running) return true;
    if (m_running->runner.Running()) {
        // The clients go now; the window and the exchange stay until the
        // command has returned through them.
        m_running->server.Stop();
        m_running->runner.Stop();
        m_running->runner.WhenReturned(std::move(again));
        return false;
    }
    m_running.reset();
    Log(LogCategory::Info, "Remote console closed");
    return true;
}

}  // namespace remote
