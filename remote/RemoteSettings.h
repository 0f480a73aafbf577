// The remote console's settings: section [RemoteConsole] of System\Velmor.ini.
//
//   Password        none: the remote console is off; at least 8 characters
//   Port            0..65535, 0 = any free port; 27015 by default
//   Address         an IPv4 address to listen on, 0.0.0.0 = every interface;
//                   127.0.0.1 by default
//   MaxConnections  1..kMostConnections; 8 by default
//   IdleMinutes     0..kMostIdleMinutes: a signed-in client that sends nothing
//                   for this long is closed; 0 = never; 60 by default
#pragma once

#include <cstdint>
#include <string>

namespace remote {

inline constexpr char kSettingsSection[] = "RemoteConsole";
inline constexpr std::size_t kMinPasswordLength = 8;
inline constexpr std::size_t kMostPasswordLength = 255;
// The socket thread waits on one event per connection, the listener's and
// its own wake-up event, and a wait takes at most 64.
inline constexpr int kMostConnections = 62;
inline constexpr int kMostIdleMinutes = 10080;  // a week

struct RemoteSettings {
    std::string password;
    std::uint16_t port = 27015;
    std::uint32_t address = 0x7F000001;  // host byte order
    std::string addressText = "127.0.0.1";
    int maxConnections = 8;
    int idleMinutes = 60;
};

enum class SettingsVerdict {
    kOff,    // no file, no section or no password: off, and nothing said
    kWrong,  // off, and `why` says why
    kOn,
};

// Reads and checks the settings of the file at `iniPath` (a full path: the
// profile functions look for a bare name in the Windows folder).
SettingsVerdict ReadRemoteSettings(const char* iniPath, RemoteSettings& settings, std::string& why);

}  // namespace remote
