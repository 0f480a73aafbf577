// An owned registry key handle.
#pragma once

#include <windows.h>

namespace fw {

class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(RegKey&& other) noexcept : m_key(other.m_key) { other.m_key = nullptr; }
    RegKey& operator=(RegKey&& other) noexcept {
        if (this != &other) {
            Close();
            m_key = other.m_key;
            other.m_key = nullptr;
        }
        return *this;
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Creates or opens parent\subKey for writing.
    bool Create(HKEY parent, const char* subKey) {
        Close();
        return ::RegCreateKeyExA(parent, subKey, 0, nullptr, 0, KEY_WRITE, nullptr, &m_key,
                                 nullptr) == ERROR_SUCCESS;
    }
    // Sets a string value; name null sets the key's default value.
    bool SetString(const char* name, const char* value) const;

    HKEY Get() const { return m_key; }

private:
    void Close() {
        if (m_key) ::RegCloseKey(m_key);
        m_key = nullptr;
    }
    HKEY m_key = nullptr;
};

}  // namespace fw
