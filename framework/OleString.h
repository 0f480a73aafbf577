// Automation strings (BSTR): an owner that frees its string, and conversions
// between them and the 8-bit strings of the ANSI code page (CP_ACP).
//
// Limits of the conversions: a character the code page cannot show becomes
// the code page's default character ('?'); a BSTR with an embedded NUL is
// converted whole, but whoever reads the result as a NUL-terminated string
// sees only the part before it; a null BSTR is the empty string.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <string>
#include <utility>

namespace fw {

class OleString {
public:
    OleString() = default;
    // Takes over a string the caller owns.
    explicit OleString(BSTR owned) noexcept : m_s(owned) {}
    ~OleString() { ::SysFreeString(m_s); }
    OleString(OleString&& other) noexcept : m_s(std::exchange(other.m_s, nullptr)) {}
    OleString& operator=(OleString&& other) noexcept {
        if (this != &other) {
            ::SysFreeString(m_s);
            m_s = std::exchange(other.m_s, nullptr);
        }
        return *this;
    }
    OleString(const OleString&) = delete;
    OleString& operator=(const OleString&) = delete;

    BSTR Get() const noexcept { return m_s; }
    // For out-parameters: frees what is held and hands out the slot.
    BSTR* Put() noexcept {
        ::SysFreeString(std::exchange(m_s, nullptr));
        return &m_s;
    }

private:
    BSTR m_s = nullptr;
};

// The 8-bit form of a BSTR (all of its characters, embedded NULs included).
inline std::string BstrToAnsi(BSTR text) {
    const int length = static_cast<int>(::SysStringLen(text));
    if (length == 0) return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string result(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, length, result.data(), n, nullptr, nullptr);
    return result;
}

// A new BSTR from `length` 8-bit characters; null when out of memory.
inline BSTR AnsiToBstr(const char* text, std::size_t length) {
    if (length == 0) return ::SysAllocStringLen(nullptr, 0);
    if (length > 0x3fffffff) return nullptr;  // longer than a BSTR can hold
    const int in = static_cast<int>(length);
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text, in, nullptr, 0);
    if (n <= 0) return ::SysAllocStringLen(nullptr, 0);
    BSTR result = ::SysAllocStringLen(nullptr, static_cast<UINT>(n));
    if (result) ::MultiByteToWideChar(CP_ACP, 0, text, in, result, n);
    return result;
}

inline BSTR AnsiToBstr(const std::string& text) { return AnsiToBstr(text.data(), text.size()); }

}  // namespace fw
