#include "link/packet.h"

namespace tunalyx {

std::uint8_t packetChecksum(const Bytes& bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count && i < bytes.size(); ++i)
        sum += bytes[i];
    return static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
}

std::optional<Bytes> framePacket(const Bytes& request) {
    if (request.empty() || request.size() > kMaxRequestBytes) return std::nullopt;
    Bytes frame;
    frame.reserve(request.size() + 2);
    frame.push_back(request[0]);
    frame.push_back(static_cast<std::uint8_t>(request.size() + 1));
    frame.insert(frame.end(), request.begin() + 1, request.end());
    frame.push_back(packetChecksum(frame, frame.size()));
    return frame;
}

Bytes frameReply(std::uint8_t command, const Bytes& data) {
    Bytes request;
    request.reserve(data.size() + 1);
    request.push_back(command);
    request.insert(request.end(), data.begin(), data.end());
    return framePacket(request).value_or(Bytes{});
}

bool isValidPacket(const Bytes& packet) {
    if (packet.size() < 3 || packet[1] + 1u != packet.size()) return false;
    unsigned sum = 0;
    for (auto b : packet)
        sum += b;
    return (sum & 0xFF) == 0xFF;
}

}  // namespace tunalyx
