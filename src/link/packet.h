#pragma once

#include <cstdint>
#include <optional>

#include "ports/bytes.h"

namespace tunalyx {

// Frame: command, length L (= data length + 2), data, checksum; L + 1 bytes in all. The checksum
// makes the sum of all bytes 0xFF modulo 256.
inline constexpr std::size_t kMaxRequestBytes = 254;  // command + 253 data bytes
inline constexpr std::uint8_t kAltReplyCommand = 0xF2;
inline constexpr std::uint8_t kRefusalFF = 0xFF;
inline constexpr std::uint8_t kRefusalR = 0x52;  // "R"

// 0xFF minus the sum of the bytes, modulo 256.
[[nodiscard]] std::uint8_t packetChecksum(const Bytes& bytes, std::size_t count);
// The frame of a request (command byte followed by data); nullopt when it cannot be framed
// (empty, or longer than 254 bytes).
[[nodiscard]] std::optional<Bytes> framePacket(const Bytes& request);
// A frame of the reply direction: command, data -> command, L, data, checksum.
[[nodiscard]] Bytes frameReply(std::uint8_t command, const Bytes& data);
// True when the bytes form exactly one packet whose sum is 0xFF.
[[nodiscard]] bool isValidPacket(const Bytes& packet);

}  // namespace tunalyx
