// Reads HTTP/1.1 request heads (RFC 9112) out of the bytes of one connection
// as they arrive, strictly: the request line and the header lines, each ended
// by CR LF, then an empty line. A head of more than 8 KiB, a body, an
// obsolete line folding, a bare CR or LF, a control character or a missing
// Host is refused with the status to answer before the connection closes.
// It only reads: no sockets, no clock, so a socket loop of any kind can feed it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace remote::http {

// The most a request head may take, its line ends and the empty line included.
inline constexpr std::size_t kMaxHeadBytes = 8 * 1024;

struct RequestHead {
    std::string method;  // as sent: methods are case-sensitive
    std::string target;  // as sent, starting with "/"
    std::string path;    // the target without its query
    int minorVersion = 1;  // HTTP/1.0 or HTTP/1.1
    bool keepAlive = true;  // the connection stays open after the reply
};

class RequestReader {
public:
    enum class State { kReading, kReady, kRefused };

    // Takes bytes of the connection and returns how many it used: it stops
    // after the empty line that ends a head (kReady) or at the byte that
    // fails it (kRefused). The rest belongs to the next request.
    std::size_t Feed(std::string_view bytes);

    State Current() const { return m_state; }
    // kReady: the head read.
    const RequestHead& Head() const { return m_head; }
    // kRefused: the status to answer (400, 413, 414, 431 or 505) and why.
    int RefusalStatus() const { return m_refusalStatus; }
    const std::string& RefusalReason() const { return m_refusalReason; }

    // After a kReady head: reads the next request of the connection.
    void Next();

private:
    void OnLine(std::string_view line);
    void OnRequestLine(std::string_view line);
    void OnHeaderLine(std::string_view line);
    void OnEndOfHead();
    void Refuse(int status, std::string reason);

    State m_state = State::kReading;
    RequestHead m_head;
    std::string m_line;         // the line being read, without its CR
    bool m_afterCr = false;     // the last byte was the CR of a line end
    bool m_inRequestLine = true;
    std::size_t m_headBytes = 0;
    int m_hosts = 0;
    bool m_connectionClose = false;
    bool m_connectionKeepAlive = false;
    int m_refusalStatus = 0;
    std::string m_refusalReason;
};

}  // namespace remote::http
