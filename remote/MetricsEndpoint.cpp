#include "MetricsEndpoint.h"

#include <string>

#include "MetricsHandler.h"
#include "MetricsSettings.h"
#include "MetricsText.h"
#include "UniqueHandle.h"
#include "Winsock.h"
#include "log/Log.h"

namespace remote {

// Members in the order they are made; they go in reverse: the socket thread
// ends first, Winsock last.
struct MetricsEndpoint::Running {
    Running()
        : handler(&CurrentMetrics, server),
          server("Metrics endpoint", MetricsHandler::Limits(), handler, counters, wake.Get()) {}
    ~Running() { server.Stop(); }

    WinsockSession winsock;
    fw::UniqueHandle wake{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};  // auto-reset: stop
    ServerCounters counters;  // the endpoint's own; the series are the remote console's
    MetricsHandler handler;
    SocketServer server;
};

MetricsEndpoint::MetricsEndpoint() = default;

MetricsEndpoint::~MetricsEndpoint() { Stop(); }

void MetricsEndpoint::Start(const char* iniPath) {
    if (m_running) return;
    MetricsSettings settings;
    std::string why;
    switch (ReadMetricsSettings(iniPath, settings, why)) {
    case SettingsVerdict::kOff:
        return;
    case SettingsVerdict::kWrong:
        Logf(LogCategory::Info, "Metrics endpoint off: %s", why.c_str());
        return;
    case SettingsVerdict::kOn:
        break;
    }
    auto running = std::make_unique<Running>();
    if (!running->winsock || !running->wake) {
        Log(LogCategory::Info, "Metrics endpoint off: Windows Sockets could not start");
        return;
    }
    if (!running->server.Listen(settings.address, settings.port, why) || !running->server.Start(why)) {
        Logf(LogCategory::Info, "Metrics endpoint off: %s", why.c_str());
        return;
    }
    Logf(LogCategory::Info, "Metrics endpoint listening on %s:%u", settings.addressText.c_str(),
         static_cast<unsigned>(running->server.Port()));
    if ((settings.address >> 24) != 127)
        Logf(LogCategory::Info,
             "Metrics endpoint: %s is reachable from other machines; anyone who reaches port %u may read the "
             "figures",
             settings.addressText.c_str(), static_cast<unsigned>(running->server.Port()));
    m_running = std::move(running);
}

void MetricsEndpoint::Stop() {
    if (!m_running) return;
    m_running.reset();
    Log(LogCategory::Info, "Metrics endpoint closed");
}

}  // namespace remote
