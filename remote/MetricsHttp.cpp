#include "MetricsHttp.h"

#include <cstdio>
#include <utility>

#include "MetricsText.h"

namespace remote {

namespace {

constexpr char kTextType[] = "text/plain; charset=utf-8";

const char* Reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Content Too Large";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    case 505: return "HTTP Version Not Supported";
    default: return "Error";
    }
}

// "Sun, 06 Nov 1994 08:49:37 GMT", the one date form HTTP senders use.
std::string HttpDate(std::time_t time) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // The runtime keeps gmtime's result per thread.
    const std::tm* converted = std::gmtime(&time);
    if (!converted) return "Thu, 01 Jan 1970 00:00:00 GMT";
    const std::tm utc = *converted;
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[utc.tm_wday % 7], utc.tm_mday,
                  months[utc.tm_mon % 12], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

}  // namespace

std::string HttpReply(int status, std::time_t date, std::string_view contentType, std::string_view body, bool close,
                      std::string_view extraHeaders) {
    char statusLine[64];
    std::snprintf(statusLine, sizeof statusLine, "HTTP/1.1 %d %s\r\n", status, Reason(status));
    std::string reply = statusLine;
    reply.append("Date: ").append(HttpDate(date)).append("\r\n");
    reply.append("Content-Type: ").append(contentType).append("\r\n");
    reply.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
    if (close) reply.append("Connection: close\r\n");
    reply.append(extraHeaders).append("\r\n").append(body);
    return reply;
}

MetricsHttp::MetricsHttp(std::function<std::string()> render, std::function<std::time_t()> now)
    : m_render(std::move(render)), m_now(std::move(now)) {}

bool MetricsHttp::Receive(std::string_view bytes, std::string& reply) {
    while (!m_closing && !bytes.empty()) {
        m_started = true;
        bytes.remove_prefix(m_reader.Feed(bytes));
        switch (m_reader.Current()) {
        case http::RequestReader::State::kReading:
            return true;  // every byte taken; the head goes on in the next ones
        case http::RequestReader::State::kRefused: {
            const std::string body = m_reader.RefusalReason() + "\n";
            reply += HttpReply(m_reader.RefusalStatus(), m_now(), kTextType, body, true);
            m_closing = true;
            break;
        }
        case http::RequestReader::State::kReady:
            Answer(m_reader.Head(), reply);
            m_closing = !m_reader.Head().keepAlive;
            m_reader.Next();
            m_started = false;
            break;
        }
    }
    return !m_closing;
}

std::string MetricsHttp::Refused() const {
    if (m_reader.Current() != http::RequestReader::State::kRefused) return {};
    return std::to_string(m_reader.RefusalStatus()) + ' ' + m_reader.RefusalReason();
}

void MetricsHttp::Answer(const http::RequestHead& head, std::string& reply) {
    const bool close = !head.keepAlive;
    if (head.path != kMetricsPath)
        reply += HttpReply(404, m_now(), kTextType, "Not found: the figures are at /metrics\n", close);
    else if (head.method != "GET")
        reply += HttpReply(405, m_now(), kTextType, "Only GET is served here\n", close, "Allow: GET\r\n");
    else
        reply += HttpReply(200, m_now(), kMetricsContentType, m_render(), close);
}

}  // namespace remote
