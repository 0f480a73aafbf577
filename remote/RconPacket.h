// The remote console's packets: int32 size (the bytes that follow), int32 id,
// int32 type, the body, a NUL and a second NUL, all little-endian. Framing
// goes by the size field alone, never by how the bytes arrived.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// Cuts packets out of the bytes of one connection as they arrive.
class PacketReader {
public:
    enum class Result { kNone, kPacket, kMalformed };

    void Append(const char* data, std::size_t size) { m_buffer.append(data, size); }
    std::size_t Buffered() const { return m_buffer.size() - m_start; }

    // The next whole packet into `packet`; kNone until one has arrived whole;
    // kMalformed (for good: the connection must close) on a size outside
    // kMinSize..kMaxSize or a body not ended by NUL, with `why` saying which.
    Result Next(Packet& packet, std::string& why);

private:
    std::string m_buffer;
    std::size_t m_start = 0;  // bytes before it have been taken
};

}  // namespace remote
