#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tunalyx {

// Packets, blocks and slots are raw bytes, never text.
using Bytes = std::vector<std::uint8_t>;

// Single-byte text <-> bytes, one byte per character, no conversion (the values in use are ASCII).
Bytes bytesFromText(std::string_view text);
std::string textFromBytes(const Bytes& bytes, std::size_t first = 0,
                          std::size_t count = std::string::npos);

// Every pair of characters read as a hexadecimal byte ("FC031E" gives FC 03 1E); a text of
// fewer than two characters gives nothing. A pair that is not hexadecimal throws
// std::invalid_argument (the texts are built in, so that is a programming error).
[[nodiscard]] Bytes HexToBytes(std::string_view text);

// Two upper-case hexadecimal digits: 0x0A gives "0A".
[[nodiscard]] std::string Hex2(std::uint8_t value);
// Upper-case hexadecimal without leading zeros, as messages and Tags name a block: 0xCE gives
// "CE", 0x05 gives "5".
[[nodiscard]] std::string hexText(unsigned value);
// "F3 02 0A": for messages and test output.
[[nodiscard]] std::string hexDump(const Bytes& bytes);

}  // namespace tunalyx
