#include "MetricsSettings.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace remote {

namespace {

// The value of `key` as the profile functions read it; a longer one than
// either setting can hold is cut, and then fails its check.
std::string ReadValue(const char* iniPath, const char* key) {
    char buffer[64];
    const DWORD n = ::GetPrivateProfileStringA(kMetricsSection, key, "", buffer, sizeof buffer, iniPath);
    return std::string(buffer, n);
}

}  // namespace

SettingsVerdict ReadMetricsSettings(const char* iniPath, MetricsSettings& settings, std::string& why) {
    settings = MetricsSettings{};
    if (!iniPath || !*iniPath) return SettingsVerdict::kOff;
    const std::string port = ReadValue(iniPath, "Port");
    if (port.empty()) return SettingsVerdict::kOff;
    unsigned long number = 0;
    bool digits = port.size() <= 9;
    for (const char c : port) {
        digits = digits && c >= '0' && c <= '9';
        if (digits) number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    if (!digits || number > 65535) {
        why = "Port \"" + port + "\" is not a port number (0 to 65535)";
        return SettingsVerdict::kWrong;
    }
    settings.port = static_cast<std::uint16_t>(number);

    const std::string address = ReadValue(iniPath, "Address");
    if (!address.empty()) {
        IN_ADDR parsed{};
        if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
            why = "Address \"" + address + "\" is not an IPv4 address";
            return SettingsVerdict::kWrong;
        }
        settings.address = ntohl(parsed.s_addr);
        settings.addressText = address;
    }
    return SettingsVerdict::kOn;
}

}  // namespace remote
