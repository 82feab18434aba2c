#include "ports/bytes.h"

#include <algorithm>
#include <cstdio>

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

std::string hexDump(const Bytes& bytes) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i) out.push_back(' ');
        out += buf;
    }
    return out;
}

}  // namespace tunalyx
