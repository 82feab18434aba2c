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

// "F3 02 0A": for messages and test output.
std::string hexDump(const Bytes& bytes);

}  // namespace tunalyx
