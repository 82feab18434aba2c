// The packet link against any reply stream on a fake clock. The input sets the retries and the
// allowance, then names the requests; each write to the port takes its reply from the input
// (a few chunks, each some milliseconds after the write). Whatever arrives, a read gives exactly
// the expected bytes or leaves its slot alone, no request is sent more than ComRetries + 1 times,
// and no transaction outlasts its allowances and, before each send, the flush that may let a late
// packet finish.
#include <algorithm>
#include <cstdlib>

#include "fuzz_doubles.h"
#include "link/packet.h"
#include "link/packet_link.h"
#include "sim/timed_input.h"

using namespace tunalyx;

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    [[nodiscard]] bool empty() const { return m_at >= m_size; }
    std::uint8_t byte() { return empty() ? 0 : m_data[m_at++]; }
    Bytes bytes(std::size_t n) {
        Bytes out;
        while (n-- > 0 && !empty())
            out.push_back(byte());
        return out;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// Answers every write with chunks read from the input; waits move the clock instead of sleeping.
class ReplyPort final : public SerialPort {
public:
    ReplyPort(ManualClock& clock, Input& input) : m_clock(clock), m_input(input) {}

    void setPortNumber(int) override {}
    [[nodiscard]] int portNumber() const override { return 1; }
    [[nodiscard]] std::string deviceName() const override { return "fuzz"; }
    [[nodiscard]] bool open() override { return true; }
    void close() override {}
    [[nodiscard]] bool isOpen() const override { return true; }
    [[nodiscard]] std::optional<std::size_t> bytesAvailable() override {
        return m_line.arrived(m_clock.nowMicros());
    }
    [[nodiscard]] bool waitForBytes(std::size_t count, std::int64_t timeoutMs) override {
        const std::int64_t deadline = m_clock.nowMicros() + timeoutMs * 1000;
        m_clock.sleepUntilMicros(std::min(deadline, m_line.timeAvailable(count)));
        return true;
    }
    [[nodiscard]] std::optional<Bytes> read(std::size_t count) override {
        if (m_line.arrived(m_clock.nowMicros()) < count) return std::nullopt;
        return m_line.take(count, m_clock.nowMicros());
    }
    bool discardInput() override {
        m_line.discardArrived(m_clock.nowMicros());
        return true;
    }
    bool write(const Bytes&) override {
        ++writes;
        const int chunks = m_input.byte() % 4;
        for (int c = 0; c < chunks; ++c) {
            const std::int64_t afterMs = m_input.byte();
            m_line.schedule(m_clock.nowMicros() + afterMs * 1000, m_input.bytes(m_input.byte()));
        }
        return true;
    }

    int writes = 0;

private:
    ManualClock& m_clock;
    Input& m_input;
    TimedInput m_line;
};

// An attempt gives up once a whole millisecond tick past its allowance has begun; its start tick
// is rounded down, so it lasts less than the allowance plus 2 ms.
std::int64_t longestTransactionMicros(const LinkSettings& s, std::int64_t ticks) {
    std::int64_t total = 0;
    for (std::int64_t attempt = 1; attempt <= s.comRetries + 1; ++attempt)
        total += (ticks * attempt + 2) * 1000;
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    ManualClock clock(1'000'000 + input.byte() * 137);  // any phase within a tick
    ReplyPort port(clock, input);
    fuzz::BitPrompts prompts;
    LinkSettings settings;
    settings.comRetries = input.byte() % 8;
    settings.comTimeOutTicks = input.byte();
    PacketLink link(port, clock, prompts, settings);

    while (!input.empty()) {
        const std::uint8_t op = input.byte() % 3;
        const int writesBefore = port.writes;
        const std::int64_t start = clock.nowMicros();
        std::int64_t longest = 0;
        if (op == 0) {
            const std::uint8_t command = input.byte();
            const std::uint8_t expected = input.byte();
            const Bytes kept{0xA5, 0x5A};
            Bytes slot = kept;
            Bytes request{command};
            if (link.ReadPacketData(request, expected, slot)) {
                if (slot.size() != expected || request.size() != expected + 3u ||
                    !std::equal(slot.begin(), slot.end(), request.begin() + 2))
                    std::abort();
            } else if (slot != kept) {
                std::abort();
            }
            longest = longestTransactionMicros(settings, settings.comTimeOutTicks);
        } else if (op == 1) {
            std::int32_t ticks = input.byte();
            Bytes request = input.bytes(input.byte());
            const bool framed = framePacket(request).has_value();
            const std::uint8_t command = framed ? request[0] : 0;
            if (ticks == 0) ticks = settings.comTimeOutTicks;
            std::int32_t used = ticks;
            if (link.TransactPacket(request, false, used)) {
                if (!framed || !isValidPacket(request) ||
                    (request[0] != command && request[0] != kAltReplyCommand))
                    std::abort();
            }
            if (!framed && port.writes != writesBefore) std::abort();
            longest = longestTransactionMicros(settings, ticks);
        } else {
            link.wakeUp();
            // The bare request, then the wait for its reply with its own small allowance.
            if (port.writes != writesBefore + 1) std::abort();
            longest = (50 + 2) * 1000;
        }
        const int writes = port.writes - writesBefore;
        if (op != 2 && writes > settings.comRetries + 1) std::abort();
        // A flush goes before every send but the wake-up's, and one after the wake-up's wait.
        longest += std::max(writes, 1) * (kLongestFlushMs + 2) * 1000;
        if (clock.nowMicros() - start >= longest) std::abort();
    }
    return 0;
}
