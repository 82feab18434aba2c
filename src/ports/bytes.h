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

// "F3 02 0A": for messages and test output.
std::string hexDump(const Bytes& bytes);

}  // namespace tunalyx
