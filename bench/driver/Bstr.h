// An automation string freed with its owner.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace bench {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : m_text(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { ::SysFreeString(m_text); }
    Bstr(Bstr&& other) noexcept : m_text(std::exchange(other.m_text, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        std::swap(m_text, other.m_text);
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR Get() const { return m_text; }

private:
    BSTR m_text = nullptr;
};

}  // namespace bench
