// The metrics endpoint: the shell's figures over HTTP for Prometheus, on a
// socket server of its own, off unless System\Velmor.ini gives [Metrics] a
// port. The application starts it with the remote console and stops it with
// it. A scrape is answered on the socket thread: the GUI thread never waits
// for one.
#pragma once

#include <memory>

namespace remote {

class MetricsEndpoint {
public:
    MetricsEndpoint();
    ~MetricsEndpoint();
    MetricsEndpoint(const MetricsEndpoint&) = delete;
    MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

    // On the GUI thread. Reads the settings file at `iniPath` (a full path);
    // when they turn it on, listens and says where in the log; when they are
    // wrong, says why. Without a port, nothing happens at all.
    void Start(const char* iniPath);
    // Closes the listener and every connection, and says so.
    void Stop();

private:
    struct Running;
    std::unique_ptr<Running> m_running;
};

}  // namespace remote
