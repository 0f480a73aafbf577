#include "RconPacket.h"

#include <cstring>

namespace remote {

namespace {

void PutInt32(std::string& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((bits >> shift) & 0xFF));
}

std::int32_t GetInt32(const char* at) {
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(at[i]);
    return static_cast<std::int32_t>(bits);
}

}  // namespace

std::string EncodePacket(std::int32_t id, std::int32_t type, std::string_view body) {
    if (body.size() > kMaxBody) body = body.substr(0, kMaxBody);
    std::string out;
    out.reserve(body.size() + 14);
    PutInt32(out, static_cast<std::int32_t>(body.size()) + kMinSize);
    PutInt32(out, id);
    PutInt32(out, type);
    out.append(body);
    out.append(2, '\0');
    return out;
}

PacketResult NextPacket(InputBuffer& input, Packet& packet, std::string& why) {
    if (input.Size() < 4) return PacketResult::kNone;
    const char* at = input.Data();
    const std::int32_t size = GetInt32(at);
    if (size < kMinSize || size > kMaxSize) {
        why = "a packet size of " + std::to_string(size);
        return PacketResult::kMalformed;
    }
    if (input.Size() < 4 + static_cast<std::size_t>(size)) return PacketResult::kNone;

    // The body runs from offset 12 to the NUL before the last byte; the last
    // byte is the empty string's NUL. An earlier NUL ends the body as text.
    const std::size_t payload = static_cast<std::size_t>(size) - 8;
    const char* body = at + 12;
    if (body[payload - 2] != '\0' || body[payload - 1] != '\0') {
        why = "a body not ended by NUL";
        return PacketResult::kMalformed;
    }
    packet.id = GetInt32(at + 4);
    packet.type = GetInt32(at + 8);
    packet.body.assign(body, ::strnlen(body, payload - 2));
    input.Take(4 + static_cast<std::size_t>(size));
    return PacketResult::kPacket;
}

}  // namespace remote
