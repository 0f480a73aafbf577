// The metrics endpoint's side of one HTTP connection: bytes from the peer in,
// reply bytes out. GET /metrics answers the figures as text; any other path
// 404, any other method on /metrics 405, a refused head its status, and then
// the connection closes. A socket loop feeds it what it reads and sends what
// it answers; nothing here touches a socket or waits.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "HttpRequestReader.h"

namespace remote {

inline constexpr char kMetricsPath[] = "/metrics";

class MetricsHttp {
public:
    // `render` makes the body of GET /metrics when a request asks for it;
    // `now` gives the time for the Date field.
    MetricsHttp(std::function<std::string()> render, std::function<std::time_t()> now);

    // Takes bytes as they arrived and appends to `reply` the answers to the
    // requests they complete, in order. Returns false once the connection is
    // to close when `reply` has been sent: a refused head, or a request that
    // did not keep the connection alive. Bytes after that are not read.
    bool Receive(std::string_view bytes, std::string& reply);

    // True while part of a request head has arrived and waits for the rest
    // (the socket core's time limit for a slow sender runs meanwhile).
    bool InsideRequest() const { return m_started; }
    // Once Receive has returned false: the status and reason of a refused
    // head ("414 request line longer than 8 KiB"); "" when the request
    // itself ended the connection.
    std::string Refused() const;

private:
    void Answer(const http::RequestHead& head, std::string& reply);

    std::function<std::string()> m_render;
    std::function<std::time_t()> m_now;
    http::RequestReader m_reader;
    bool m_started = false;
    bool m_closing = false;
};

// One whole reply: status line, Date, Content-Type, Content-Length,
// Connection: close when `close`, `extraHeaders` (lines each ending in
// CR LF), then the body.
std::string HttpReply(int status, std::time_t date, std::string_view contentType, std::string_view body, bool close,
                      std::string_view extraHeaders = {});

}  // namespace remote
