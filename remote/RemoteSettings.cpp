#include "RemoteSettings.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>

namespace remote {

namespace {

// The value of `key`, as the profile functions read it (blanks and quotes
// around it dropped); "" when missing. False when it fills the buffer, that
// is when it may have been cut.
bool ReadValue(const char* iniPath, const char* key, std::string& value) {
    char buffer[kMostPasswordLength + 2];
    const DWORD n = ::GetPrivateProfileStringA(kSettingsSection, key, "", buffer, sizeof buffer, iniPath);
    value.assign(buffer, n);
    return n < sizeof buffer - 1;
}

// Decimal digits only, at most `most`; false for anything else.
bool ParseNumber(const std::string& text, unsigned long most, unsigned long& number) {
    if (text.empty() || text.size() > 9) return false;
    number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    return number <= most;
}

}  // namespace

SettingsVerdict ReadRemoteSettings(const char* iniPath, RemoteSettings& settings, std::string& why) {
    settings = RemoteSettings{};
    if (!iniPath || !*iniPath) return SettingsVerdict::kOff;

    std::string password;
    const bool whole = ReadValue(iniPath, "Password", password);
    if (password.empty()) return SettingsVerdict::kOff;
    if (!whole) {
        why = "the password is longer than " + std::to_string(kMostPasswordLength) + " characters";
        return SettingsVerdict::kWrong;
    }
    if (password.size() < kMinPasswordLength) {
        why = "the password is shorter than " + std::to_string(kMinPasswordLength) + " characters";
        return SettingsVerdict::kWrong;
    }
    settings.password = std::move(password);

    std::string text;
    unsigned long number = 0;
    ReadValue(iniPath, "Port", text);
    if (!text.empty()) {
        if (!ParseNumber(text, 65535, number)) {
            why = "Port \"" + text + "\" is not a port number (0 to 65535)";
            return SettingsVerdict::kWrong;
        }
        settings.port = static_cast<std::uint16_t>(number);
    }

    ReadValue(iniPath, "Address", text);
    if (!text.empty()) {
        IN_ADDR address{};
        if (::inet_pton(AF_INET, text.c_str(), &address) != 1) {
            why = "Address \"" + text + "\" is not an IPv4 address";
            return SettingsVerdict::kWrong;
        }
        settings.address = ntohl(address.s_addr);
        settings.addressText = text;
    }

    ReadValue(iniPath, "MaxConnections", text);
    if (!text.empty()) {
        if (!ParseNumber(text, kMostConnections, number) || number == 0) {
            why =
                "MaxConnections \"" + text + "\" is not a number from 1 to " + std::to_string(kMostConnections);
            return SettingsVerdict::kWrong;
        }
        settings.maxConnections = static_cast<int>(number);
    }

    ReadValue(iniPath, "IdleMinutes", text);
    if (!text.empty()) {
        if (!ParseNumber(text, kMostIdleMinutes, number)) {
            why = "IdleMinutes \"" + text + "\" is not a number from 0 to " + std::to_string(kMostIdleMinutes);
            return SettingsVerdict::kWrong;
        }
        settings.idleMinutes = static_cast<int>(number);
    }
    return SettingsVerdict::kOn;
}

}  // namespace remote
