#include "sim/simulator_line.h"

#include <algorithm>
#include <charconv>

#include "link/packet.h"

namespace tunalyx {

namespace {
// A partial request older than this is dropped: the PC gave up on it.
constexpr std::int64_t kStaleRequestMicros = 100'000;

// Junk that is never taken for the start of a reply: no 0xF2, 0xFF, "R" or the echo.
Bytes noiseFor(std::uint8_t command, int count) {
    static constexpr std::uint8_t kJunk[] = {0x00, 0x13, 0x7E, 0xA5, 0x3C, 0xC3, 0x08, 0x99};
    Bytes out;
    for (int i = 0; static_cast<int>(out.size()) < count; ++i) {
        const std::uint8_t b = kJunk[static_cast<std::size_t>(i) % std::size(kJunk)];
        if (b != command) out.push_back(b);
    }
    return out;
}

bool parseNumber(const std::string& text, std::uint64_t& out) {
    int base = 10;
    std::string_view t(text);
    if (t.size() > 2 && (t.substr(0, 2) == "0x" || t.substr(0, 2) == "0X")) {
        base = 16;
        t.remove_prefix(2);
    }
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), out, base);
    return ec == std::errc() && end == t.data() + t.size() && !t.empty();
}
}  // namespace

SimulatorLine::SimulatorLine(SimulatedEcu& ecu, LineFaults faults)
    : m_ecu(ecu), m_faults(std::move(faults)) {}

std::int64_t SimulatorLine::byteMicros(std::size_t count) const {
    if (!m_faults.pacing) return 0;
    return static_cast<std::int64_t>(count) * kNanosPerByteAt57600 / 1000;
}

void SimulatorLine::receive(const Bytes& bytes, std::int64_t nowMicros, TimedInput& toPc) {
    if (m_startMicros < 0) m_startMicros = nowMicros;
    if (!m_pending.empty() && nowMicros - m_pendingSince > kStaleRequestMicros) m_pending.clear();
    if (m_pending.empty()) m_pendingSince = nowMicros;
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());

    // The request is whole once its last byte has crossed the wire.
    const std::int64_t arrived = nowMicros + byteMicros(bytes.size());
    for (;;) {
        if (m_pending.size() < 2) return;
        const std::size_t length = m_pending[1];
        if (length < 2) {
            m_pending.erase(m_pending.begin());
            ++m_rejected;
            continue;
        }
        if (m_pending.size() < length + 1) return;
        Bytes frame(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(length + 1));
        // A whole frame goes, good or bad: the next one starts right after it.
        m_pending.erase(m_pending.begin(),
                        m_pending.begin() + static_cast<std::ptrdiff_t>(length + 1));
        if (!isValidPacket(frame)) {
            ++m_rejected;
            continue;
        }
        Bytes request;
        request.push_back(frame[0]);
        request.insert(request.end(), frame.begin() + 2, frame.end() - 1);
        answer(request, arrived, toPc);
        m_pendingSince = nowMicros;
    }
}

void SimulatorLine::answer(const Bytes& request, std::int64_t arrivedMicros, TimedInput& toPc) {
    const std::uint64_t number = ++m_requestCount;
    // Past a pulled cable the unit neither answers nor takes anything in.
    if (m_faults.cablePulledAfter != 0 && number > m_faults.cablePulledAfter) return;
    const double seconds = static_cast<double>(arrivedMicros - m_startMicros) / 1e6;
    auto reply = m_ecu.handleRequest(request, seconds);
    if (!reply || m_faults.dropReplyTo.count(number)) return;
    // A whole, valid packet a byte short of the block: the link takes it, with no retry.
    if (m_faults.shortReplyTo.count(number) && reply->size() > 3)
        reply = frameReply((*reply)[0], Bytes(reply->begin() + 2, reply->end() - 2));
    if (m_faults.corruptChecksumOf.count(number) && reply->size() > 1) reply->back() ^= 0x5A;

    Bytes wire = noiseFor(request[0], m_faults.noiseBeforeReply);
    if (m_faults.strayBeforeReply) wire.push_back(*m_faults.strayBeforeReply);
    wire.insert(wire.end(), reply->begin(), reply->end());
    // A reply cannot start before the previous one has left the line.
    const std::int64_t start =
        std::max(arrivedMicros + m_faults.replyDelayMicros, toPc.lastArrival());
    if (m_faults.pacing) {
        // Each byte from the exact rate: spacing in whole microseconds would drift.
        for (std::size_t i = 0; i < wire.size(); ++i) {
            const auto at = start + static_cast<std::int64_t>(i + 1) * kNanosPerByteAt57600 / 1000;
            toPc.schedule(at, Bytes{wire[i]});
        }
    } else {
        toPc.schedule(start, wire);
    }
}

std::string applyFaultOption(const std::string& option, LineFaults& faults, SimulatedEcu& ecu) {
    const auto eq = option.find('=');
    if (eq == std::string::npos) return "fault without a value: " + option;
    const std::string name = option.substr(0, eq);
    std::string value = option.substr(eq + 1);
    std::uint64_t n = 0;
    if (name == "refuse") {
        std::uint8_t refusal = kRefusalFF;
        if (const auto colon = value.find(':'); colon != std::string::npos) {
            const std::string how = value.substr(colon + 1);
            if (how == "R")
                refusal = kRefusalR;
            else if (how != "FF" && how != "0xFF")
                return "refusal must be R or FF: " + option;
            value = value.substr(0, colon);
        }
        if (!parseNumber(value, n) || n > 255) return "bad block in fault: " + option;
        ecu.refuseWrites(static_cast<std::uint8_t>(n), refusal);
        return {};
    }
    if (name == "misstore") {
        std::uint64_t byte = 1;
        if (const auto colon = value.find(':'); colon != std::string::npos) {
            if (!parseNumber(value.substr(colon + 1), byte) || byte < 1 || byte > 253)
                return "a byte of a block is 1..253: " + option;
            value = value.substr(0, colon);
        }
        if (!parseNumber(value, n) || n > 255) return "bad block in fault: " + option;
        ecu.misstore(static_cast<std::uint8_t>(n), static_cast<std::size_t>(byte));
        return {};
    }
    if (!parseNumber(value, n)) return "bad number in fault: " + option;
    if (name == "drop")
        faults.dropReplyTo.insert(n);
    else if (name == "corrupt")
        faults.corruptChecksumOf.insert(n);
    else if (name == "noise")
        faults.noiseBeforeReply = static_cast<int>(std::min<std::uint64_t>(n, 200));
    else if (name == "stray" && n <= 255)
        faults.strayBeforeReply = static_cast<std::uint8_t>(n);
    else if (name == "stray")
        return "a stray byte is 0..255: " + option;
    else if (name == "delay")
        faults.replyDelayMicros = static_cast<std::int64_t>(n) * 1000;
    else if (name == "pull" && n > 0)
        faults.cablePulledAfter = n;
    else if (name == "pull")
        return "pull needs at least one request: " + option;
    else
        return "unknown fault: " + name;
    return {};
}

}  // namespace tunalyx
