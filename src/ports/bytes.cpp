#include "ports/bytes.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace tunalyx {

Bytes bytesFromText(std::string_view text) {
    Bytes out;
    out.reserve(text.size());
    for (char c : text)
        out.push_back(static_cast<std::uint8_t>(c));
    return out;
}

std::string textFromBytes(const Bytes& bytes, std::size_t first, std::size_t count) {
    std::string out;
    if (first >= bytes.size()) return out;
    const std::size_t last =
        std::min(bytes.size(), count == std::string::npos ? bytes.size() : first + count);
    for (std::size_t i = first; i < last; ++i)
        out.push_back(static_cast<char>(bytes[i]));
    return out;
}

Bytes HexToBytes(std::string_view text) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        unsigned value = 0;
        const char* first = text.data() + i;
        const auto res = std::from_chars(first, first + 2, value, 16);
        if (res.ec != std::errc() || res.ptr != first + 2)
            throw std::invalid_argument("not a hexadecimal byte");
        out.push_back(static_cast<std::uint8_t>(value));
    }
    return out;
}

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
}

std::string Hex2(std::uint8_t value) {
    return {kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
}

std::string hexText(unsigned value) {
    std::string out;
    do {
        out.insert(out.begin(), kHexDigits[value & 0x0F]);
        value >>= 4;
    } while (value != 0);
    return out;
}

std::string hexDump(const Bytes& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) out.push_back(' ');
        out += Hex2(bytes[i]);
    }
    return out;
}

}  // namespace tunalyx
