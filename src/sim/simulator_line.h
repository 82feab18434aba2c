#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "sim/simulated_ecu.h"
#include "sim/timed_input.h"

namespace tunalyx {

// Line faults and timing of the simulated unit.
struct LineFaults {
    std::set<std::uint64_t> dropReplyTo;           // 1-based numbers of requests left unanswered
    std::set<std::uint64_t> corruptChecksumOf;     // requests whose reply gets a wrong checksum
    std::set<std::uint64_t> shortReplyTo;          // whose reply lacks its last data byte, whole
    int noiseBeforeReply = 0;                      // junk bytes sent ahead of every reply
    std::optional<std::uint8_t> strayBeforeReply;  // one byte ahead of every reply ("R", 0xFF)
    std::int64_t replyDelayMicros = 0;             // turnaround time of the unit
    std::uint64_t cablePulledAfter = 0;            // requests that get through before it; 0: never
    bool pacing = false;                           // send at the real 57600 baud (10 bits a byte)
};

inline constexpr std::int64_t kNanosPerByteAt57600 = 173611;  // 10 bits at 57600 baud

// Parses whole request packets out of the byte stream from the PC, lets the unit answer them,
// applies the faults and says when each reply byte reaches the PC.
class SimulatorLine {
public:
    SimulatorLine(SimulatedEcu& ecu, LineFaults faults = {});

    // Bytes from the PC that arrive at `nowMicros`; the replies are scheduled into `toPc`.
    void receive(const Bytes& bytes, std::int64_t nowMicros, TimedInput& toPc);

    [[nodiscard]] SimulatedEcu& ecu() { return m_ecu; }
    [[nodiscard]] LineFaults& faults() { return m_faults; }
    [[nodiscard]] std::uint64_t requestCount() const { return m_requestCount; }
    // Requests thrown away for a bad checksum or length.
    [[nodiscard]] std::uint64_t rejectedFrames() const { return m_rejected; }
    // Time one byte takes on the wire (0 without pacing).
    [[nodiscard]] std::int64_t byteMicros(std::size_t count) const;

private:
    void answer(const Bytes& request, std::int64_t arrivedMicros, TimedInput& toPc);

    SimulatedEcu& m_ecu;
    LineFaults m_faults;
    Bytes m_pending;
    std::int64_t m_pendingSince = 0;
    std::int64_t m_startMicros = -1;
    std::uint64_t m_requestCount = 0;
    std::uint64_t m_rejected = 0;
};

// --fault texts of the command line: "refuse=0x86", "refuse=0x86:R", "drop=3", "corrupt=2",
// "misstore=0x8B:3" (the unit keeps byte 3 of block 8B one higher than written; byte 1 when
// none is named), "noise=5", "stray=0x52" (that byte ahead of every reply, as the tail of a reply
// given up on would come), "delay=20" (reply turnaround in ms), "pull=40" (the unit hears the first
// 40 requests, then nothing). Returns an error text, empty on success.
std::string applyFaultOption(const std::string& option, LineFaults& faults, SimulatedEcu& ecu);

}  // namespace tunalyx
