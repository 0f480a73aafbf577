// The metrics endpoint's settings: section [Metrics] of System\Velmor.ini,
// read once at start.
//
//   Port     none: the endpoint is off; 0..65535, 0 = any free port
//   Address  an IPv4 address to listen on, 0.0.0.0 = every interface;
//            127.0.0.1 by default
#pragma once

#include <cstdint>
#include <string>

#include "RemoteSettings.h"

namespace remote {

inline constexpr char kMetricsSection[] = "Metrics";

struct MetricsSettings {
    std::uint16_t port = 0;
    std::uint32_t address = 0x7F000001;  // host byte order
    std::string addressText = "127.0.0.1";
};

// kOff without a file, a section or a port; kWrong with `why`; else kOn.
SettingsVerdict ReadMetricsSettings(const char* iniPath, MetricsSettings& settings, std::string& why);

}  // namespace remote
