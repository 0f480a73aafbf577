// The remote console's packets: int32 size (the bytes that follow), int32 id,
// int32 type, the body, a NUL and a second NUL, all little-endian. Framing
// goes by the size field alone, never by how the bytes arrived.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "InputBuffer.h"

namespace remote {

enum PacketType : std::int32_t {
    kResponseValue = 0,  // a reply; from a client, the probe for the end of a split reply
    kExecCommand = 2,    // from a client
    kAuthResponse = 2,   // to a client
    kAuth = 3,
};

inline constexpr std::size_t kMaxBody = 4096;
inline constexpr std::int32_t kMinSize = 10;  // id, type and the two NULs
inline constexpr std::int32_t kMaxSize = static_cast<std::int32_t>(kMaxBody) + kMinSize;

struct Packet {
    std::int32_t id = 0;
    std::int32_t type = 0;
    std::string body;  // up to its first NUL
};

// One whole packet, ready for a send of its own. The body must be at most
// kMaxBody bytes (longer ones are cut there).
std::string EncodePacket(std::int32_t id, std::int32_t type, std::string_view body);

// Cuts the next whole packet out of a connection's input into `packet`.
// kNone until one has arrived whole; kMalformed (for good: the connection must
// close) on a size outside kMinSize..kMaxSize or a body not ended by NUL,
// with `why` saying which.
enum class PacketResult { kNone, kPacket, kMalformed };
PacketResult NextPacket(InputBuffer& input, Packet& packet, std::string& why);

}  // namespace remote
