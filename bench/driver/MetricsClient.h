// A scrape client: HTTP/1.1 GET on one kept-alive loopback connection, as
// Prometheus scrapes, for the shell's metrics endpoint and its floor alike;
// and the shell's lateness histogram read from a scrape's text.
#pragma once

#include <cstdint>
#include <cstddef>
#include <optional>
#include <string>

#include "TickLateness.h"

namespace bench {

class MetricsClient {
public:
    explicit MetricsClient(std::uint16_t port);
    ~MetricsClient();
    MetricsClient(const MetricsClient&) = delete;
    MetricsClient& operator=(const MetricsClient&) = delete;

    // The body of a 200 answer to GET /metrics, read whole by its
    // Content-Length; nothing on any other answer, a time-out (5 s) or a
    // closed connection, after which the client stays closed.
    std::optional<std::string> Get();

private:
    bool Fill(std::size_t count);

    std::uintptr_t m_socket;  // a SOCKET
    std::string m_buffer;
};

// A loopback port that was free a moment ago, for a program to listen on.
std::uint16_t FreeLoopbackPort();

// The `[Metrics]` section of System\Velmor.ini that opens the shell's
// endpoint on `port`.
std::string MetricsSettings(std::uint16_t port);

// velmor_tick_lateness_seconds (its buckets, sum and count) and
// velmor_tick_lateness_max_seconds from a scrape; nothing when a series is
// missing.
std::optional<Lateness> LatenessFromScrape(const std::string& text);

// Reads the shell's lateness from its endpoint on `port`, connecting at the
// first reading; nothing once a reading failed (the endpoint is not there).
class ShellLatenessScraper {
public:
    explicit ShellLatenessScraper(std::uint16_t port) : m_port(port) {}
    std::optional<Lateness> operator()();

private:
    std::uint16_t m_port;
    std::optional<MetricsClient> m_client;
    bool m_failed = false;
};

}  // namespace bench
