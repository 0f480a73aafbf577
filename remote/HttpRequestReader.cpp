#include "HttpRequestReader.h"

#include <utility>

namespace remote::http {

namespace {

// tchar of RFC 9110: the characters of a method or a field name.
bool IsTokenChar(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    switch (c) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+':
    case '-': case '.': case '^': case '_': case '`': case '|': case '~':
        return true;
    default:
        return false;
    }
}

bool IsToken(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!IsTokenChar(c)) return false;
    return true;
}

// A field value's characters: visible ASCII, blanks and bytes from 0x80 up.
bool IsValueChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u == ' ' || u == '\t' || (u >= 0x21 && u != 0x7F);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::size_t RequestReader::Feed(std::string_view bytes) {
    std::size_t used = 0;
    while (used < bytes.size() && m_state == State::kReading) {
        const char c = bytes[used++];
        if (++m_headBytes > kMaxHeadBytes) {
            if (m_inRequestLine)
                Refuse(414, "request line longer than 8 KiB");
            else
                Refuse(431, "request head longer than 8 KiB");
            break;
        }
        if (m_afterCr) {
            m_afterCr = false;
            if (c != '\n') {
                Refuse(400, "CR not followed by LF");
                break;
            }
            OnLine(m_line);
            m_line.clear();
        } else if (c == '\r') {
            m_afterCr = true;
        } else if (c == '\n') {
            Refuse(400, "line ended by LF alone");
        } else {
            m_line.push_back(c);  // bounded by the head's limit above
        }
    }
    return used;
}

void RequestReader::Next() {
    if (m_state != State::kReady) return;
    *this = RequestReader();
}

void RequestReader::Refuse(int status, std::string reason) {
    m_state = State::kRefused;
    m_refusalStatus = status;
    m_refusalReason = std::move(reason);
}

void RequestReader::OnLine(std::string_view line) {
    if (m_inRequestLine) {
        m_inRequestLine = false;
        OnRequestLine(line);
    } else if (line.empty()) {
        OnEndOfHead();
    } else {
        OnHeaderLine(line);
    }
}

void RequestReader::OnRequestLine(std::string_view line) {
    // method SP request-target SP HTTP-version, single spaces.
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos)
        return Refuse(400, "request line not of three parts");
    const std::string_view method = line.substr(0, first);
    const std::string_view target = line.substr(first + 1, second - first - 1);
    const std::string_view version = line.substr(second + 1);
    if (!IsToken(method)) return Refuse(400, "bad method");
    if (target.empty() || target.front() != '/') return Refuse(400, "target not an absolute path");
    for (char c : target) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F) return Refuse(400, "bad character in the target");
    }
    if (version.size() != 8 || version.substr(0, 5) != "HTTP/" || version[6] != '.' || version[5] < '0' ||
        version[5] > '9' || version[7] < '0' || version[7] > '9')
        return Refuse(400, "bad version");
    if (version[5] != '1' || (version[7] != '0' && version[7] != '1'))
        return Refuse(505, "version not supported");
    m_head.method = method;
    m_head.target = target;
    m_head.path = target.substr(0, target.find('?'));
    m_head.minorVersion = version[7] - '0';
}

void RequestReader::OnHeaderLine(std::string_view line) {
    if (line.front() == ' ' || line.front() == '\t') return Refuse(400, "folded header line");
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return Refuse(400, "header line without a colon");
    const std::string_view name = line.substr(0, colon);
    if (!IsToken(name)) return Refuse(400, "bad header name");
    const std::string_view raw = line.substr(colon + 1);
    for (char c : raw)
        if (!IsValueChar(c)) return Refuse(400, "bad character in a header value");
    const std::string_view value = TrimBlanks(raw);

    if (EqualsNoCase(name, "Host")) {
        ++m_hosts;
    } else if (EqualsNoCase(name, "Content-Length")) {
        if (value.empty()) return Refuse(400, "bad Content-Length");
        for (char c : value)
            if (c < '0' || c > '9') return Refuse(400, "bad Content-Length");
        if (value.find_first_not_of('0') != std::string_view::npos)
            return Refuse(413, "a request body is not accepted");
    } else if (EqualsNoCase(name, "Transfer-Encoding")) {
        return Refuse(413, "a request body is not accepted");
    } else if (EqualsNoCase(name, "Connection")) {
        // A list of options, separated by commas.
        std::string_view rest = value;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            const std::string_view option = TrimBlanks(rest.substr(0, comma));
            if (EqualsNoCase(option, "close")) m_connectionClose = true;
            if (EqualsNoCase(option, "keep-alive")) m_connectionKeepAlive = true;
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
    }
}

void RequestReader::OnEndOfHead() {
    if (m_head.minorVersion == 1 && m_hosts != 1) return Refuse(400, "HTTP/1.1 request without exactly one Host");
    if (m_hosts > 1) return Refuse(400, "more than one Host");
    m_head.keepAlive = m_head.minorVersion == 1 ? !m_connectionClose : m_connectionKeepAlive && !m_connectionClose;
    m_state = State::kReady;
}

}  // namespace remote::http
