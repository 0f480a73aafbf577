#include "MetricsClient.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

namespace {

constexpr DWORD kTimeoutMs = 5000;
constexpr char kRequest[] = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/plain\r\n\r\n";

struct Winsock {
    Winsock() {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~Winsock() { ::WSACleanup(); }
};

void StartWinsock() { static Winsock winsock; }

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    return address;
}

// The value of the sample line that starts with `name` followed by a space.
std::optional<double> Sample(const std::string& text, const std::string& name) {
    const std::string key = "\n" + name + " ";
    const std::size_t at = text.find(key);
    if (at == std::string::npos) return std::nullopt;
    return std::strtod(text.c_str() + at + key.size(), nullptr);
}

}  // namespace

MetricsClient::MetricsClient(std::uint16_t port) : m_socket(INVALID_SOCKET) {
    StartWinsock();
    m_socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_socket == INVALID_SOCKET) return;
    const BOOL noDelay = TRUE;
    ::setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&kTimeoutMs), sizeof kTimeoutMs);
    sockaddr_in server = Loopback(port);
    if (::connect(m_socket, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
}

MetricsClient::~MetricsClient() {
    if (m_socket != INVALID_SOCKET) ::closesocket(m_socket);
}

bool MetricsClient::Fill(std::size_t count) {
    char chunk[16384];
    while (m_buffer.size() < count) {
        const int got = ::recv(m_socket, chunk, sizeof chunk, 0);
        if (got <= 0) return false;
        m_buffer.append(chunk, static_cast<std::size_t>(got));
    }
    return true;
}

std::optional<std::string> MetricsClient::Get() {
    if (m_socket == INVALID_SOCKET) return std::nullopt;
    auto fail = [this] {
        ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
        return std::nullopt;
    };
    if (::send(m_socket, kRequest, static_cast<int>(sizeof kRequest - 1), 0) != static_cast<int>(sizeof kRequest - 1))
        return fail();
    std::size_t headEnd;
    while ((headEnd = m_buffer.find("\r\n\r\n")) == std::string::npos)
        if (!Fill(m_buffer.size() + 1)) return fail();
    const std::string head = m_buffer.substr(0, headEnd);
    m_buffer.erase(0, headEnd + 4);
    const std::size_t length = head.find("\r\nContent-Length:");
    if (head.compare(0, 12, "HTTP/1.1 200") != 0 || length == std::string::npos) return fail();
    const std::size_t size = std::strtoul(head.c_str() + length + 17, nullptr, 10);
    if (!Fill(size)) return fail();
    std::string body = m_buffer.substr(0, size);
    m_buffer.erase(0, size);
    return body;
}

std::uint16_t FreeLoopbackPort() {
    StartWinsock();
    const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (probe == INVALID_SOCKET) return 0;
    sockaddr_in address = Loopback(0);
    int size = sizeof address;
    std::uint16_t port = 0;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::closesocket(probe);
    return port;
}

std::string MetricsSettings(std::uint16_t port) { return "[Metrics]\r\nPort=" + std::to_string(port) + "\r\n"; }

std::optional<Lateness> ShellLatenessScraper::operator()() {
    if (m_failed) return std::nullopt;
    if (!m_client) m_client.emplace(m_port);
    const std::optional<std::string> text = m_client->Get();
    std::optional<Lateness> lateness = text ? LatenessFromScrape(*text) : std::nullopt;
    m_failed = !lateness;
    return lateness;
}

std::optional<Lateness> LatenessFromScrape(const std::string& text) {
    const std::string name = "velmor_tick_lateness_seconds";
    const std::string scrape = "\n" + text;
    Lateness lateness;
    std::uint64_t below = 0;  // the buckets are cumulative in the text
    for (std::size_t i = 0; i < stats::kBucketCount; ++i) {
        std::string le = "+Inf";
        if (i < stats::kBoundCount) {
            char bound[24];
            std::snprintf(bound, sizeof bound, "%g", stats::kBucketBoundsMs[i] / 1000);
            le = bound;
        }
        const std::optional<double> cumulative = Sample(scrape, name + "_bucket{le=\"" + le + "\"}");
        if (!cumulative) return std::nullopt;
        const auto upTo = static_cast<std::uint64_t>(*cumulative);
        lateness.buckets[i] = upTo - below;
        below = upTo;
    }
    const std::optional<double> sum = Sample(scrape, name + "_sum");
    const std::optional<double> count = Sample(scrape, name + "_count");
    const std::optional<double> max = Sample(scrape, "velmor_tick_lateness_max_seconds");
    if (!sum || !count || !max) return std::nullopt;
    lateness.sumSeconds = *sum;
    lateness.count = static_cast<std::uint64_t>(*count);
    lateness.maxSeconds = *max;
    return lateness;
}

}  // namespace bench
