#include "TextFormat.h"

#include <cstdarg>
#include <cstdio>

namespace recorder {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string Escape(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '"': escaped += "\\\""; break;
        case '\r': escaped += "\\r"; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        default:
            if (byte < 0x20 || byte >= 0x7F) {
                escaped += "\\x";
                escaped += kHex[byte >> 4];
                escaped += kHex[byte & 0x0F];
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}

std::string Quote(std::string_view text) { return '"' + Escape(text) + '"'; }

std::string QuoteNullable(const char* text) { return text ? Quote(text) : "null"; }

std::string Unescape(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            plain += text[i];
            continue;
        }
        const char next = text[i + 1];
        switch (next) {
        case 'r': plain += '\r'; ++i; break;
        case 'n': plain += '\n'; ++i; break;
        case 't': plain += '\t'; ++i; break;
        case '\\': plain += '\\'; ++i; break;
        case '"': plain += '"'; ++i; break;
        case 'x':
            if (i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
                plain += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
                i += 3;
            } else {
                plain += '\\';
            }
            break;
        default: plain += '\\'; break;
        }
    }
    return plain;
}

std::string Format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list measure;
    va_copy(measure, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string text;
    if (length > 0) {
        // One more byte for the terminator vsnprintf writes; dropped after.
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, arguments);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(arguments);
    return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace recorder
