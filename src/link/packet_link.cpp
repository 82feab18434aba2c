#include "link/packet_link.h"

#include <algorithm>

#include "link/packet.h"

namespace tunalyx {

namespace {
constexpr std::uint8_t kWakeUpCommand = 0xF3;
}  // namespace

LinkSettings LinkSettings::fromStore(const SettingsStore& store) {
    LinkSettings s;
    // Hand-edited values are held to what a serial link can use: a reply allowance of up to a
    // minute and up to 100 further attempts, so the arithmetic of the allowances cannot overflow.
    s.comTimeOutTicks =
        static_cast<std::int32_t>(std::clamp(store.integer("ComTimeOutTicks", 100), 1LL, 60'000LL));
    s.comRetries =
        static_cast<std::int32_t>(std::clamp(store.integer("ComRetries", 3), 0LL, 100LL));
    return s;
}

PacketLink::PacketLink(SerialPort& port, Clock& clock, UserPrompts& prompts, LinkSettings settings)
    : m_port(port), m_clock(clock), m_prompts(prompts), m_settings(settings) {}

void PacketLink::SendPacket(const Bytes& request) {
    if (const auto frame = framePacket(request)) (void)m_port.write(*frame);
}

void PacketLink::ComFlush() {
    (void)m_port.discardInput();
}

bool PacketLink::TransactPacket(Bytes& request, bool showMessage) {
    std::int32_t ticks = 0;
    return TransactPacket(request, showMessage, ticks);
}

bool PacketLink::TransactPacket(Bytes& request, bool showMessage, std::int32_t& timeoutTicks) {
    return TransactPacket(request, showMessage, timeoutTicks, 0);
}

bool PacketLink::TransactPacket(Bytes& request, bool showMessage, std::int32_t& timeoutTicks,
                                std::size_t expectedReplySize) {
    if (timeoutTicks == 0) timeoutTicks = m_settings.comTimeOutTicks;
    if (!framePacket(request) || !m_port.isOpen()) {
        ++m_counters.portErrors;
        return fail(showMessage);
    }
    // The allowance grows with each attempt: a slow unit gets more time, not more noise.
    for (std::int32_t attempt = 1; attempt <= m_settings.comRetries + 1; ++attempt) {
        Bytes reply;
        switch (
            runAttempt(request, expectedReplySize, std::int64_t{timeoutTicks} * attempt, reply)) {
            case Attempt::Accepted:
                request = std::move(reply);
                return true;
            case Attempt::Retry:
                continue;
            case Attempt::Refused:
            case Attempt::PortError:
                return fail(showMessage);
        }
    }
    return fail(showMessage);
}

void PacketLink::noteAbandoned(std::uint8_t command, std::int64_t sentMs) {
    // A unit slower than a whole transaction's allowances cannot be served anyway; a reply
    // later than that is noise again.
    const std::int64_t retries = std::max<std::int64_t>(m_settings.comRetries, 0);
    const std::int64_t window =
        std::int64_t{std::max(m_settings.comTimeOutTicks, 1)} * (retries + 1) * (retries + 2) / 2;
    m_lateUntilMs[command] = std::max(m_lateUntilMs[command], sentMs + window);
}

bool PacketLink::mayBeLate(std::uint8_t command) const {
    // A refusal is a lone byte and stays one: it is never held back to see what follows.
    if (command == kRefusalFF || command == kRefusalR) return false;
    return m_clock.tickMs() <= m_lateUntilMs[command];
}

bool PacketLink::isLateReply(const std::deque<std::uint8_t>& held, std::uint8_t command,
                             std::size_t expectedReplySize) {
    if (held.size() < 2) return false;
    const std::size_t size = std::size_t{held[1]} + 1;
    if (size < 3 || held.size() < size) return false;
    const Bytes packet(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(size));
    if (!isValidPacket(packet)) return false;
    // A late reply to our own command is as good as the one awaited, unless its size shows it
    // answered something else (a write's acknowledgement before a read of the same block).
    return packet[0] != command || (expectedReplySize != 0 && packet.size() != expectedReplySize);
}

PacketLink::Attempt PacketLink::runAttempt(const Bytes& request, std::size_t expectedReplySize,
                                           std::int64_t allowanceMs, Bytes& reply) {
    const std::int64_t start = m_clock.tickMs();
    ComFlush();
    const auto frame = framePacket(request);
    if (!m_port.write(*frame)) {
        ++m_counters.portErrors;
        return Attempt::PortError;
    }

    // Bytes read but not yet judged: a packet is looked at whole before any of it is dropped.
    std::deque<std::uint8_t> held;
    bool replyStarted = false;
    auto take = [&](std::size_t count) -> std::optional<Attempt> {
        const auto bytes = m_port.read(count);
        if (!bytes) {
            ++m_counters.portErrors;
            return Attempt::PortError;
        }
        held.insert(held.end(), bytes->begin(), bytes->end());
        return std::nullopt;
    };
    // Holds `count` bytes, waiting under this attempt's deadline for those still missing.
    auto hold = [&](std::size_t count) -> std::optional<Attempt> {
        if (held.size() >= count) return std::nullopt;
        switch (waitBuffered(count - held.size(), start, allowanceMs)) {
            case Wait::Ready:
                return take(count - held.size());
            case Wait::TimedOut:
                ++m_counters.timeouts;
                // Nothing of the reply came; it may still come while a later request waits.
                if (!replyStarted) noteAbandoned(request[0], start);
                return Attempt::Retry;
            case Wait::PortError:
                ++m_counters.portErrors;
                return Attempt::PortError;
        }
        return Attempt::PortError;
    };
    // Holds up to `count` bytes of those already here, without waiting.
    auto holdArrived = [&](std::size_t count) -> std::optional<Attempt> {
        if (held.size() >= count) return std::nullopt;
        const auto available = m_port.bytesAvailable();
        if (!available) {
            ++m_counters.portErrors;
            return Attempt::PortError;
        }
        const std::size_t n = std::min(*available, count - held.size());
        return n > 0 ? take(n) : std::nullopt;
    };

    // First byte: the echo of our command (even when that is "R"), 0xF2, or a refusal. A whole
    // reply to another request is skipped: read byte by byte, the "R" of "SR20DET1" would end
    // the transaction as a refusal. One owed to a send given up on is waited for whole; one to a
    // request we know nothing of (an earlier run's) only when it is here whole. Anything else is
    // line noise, dropped while the deadline lasts.
    for (;;) {
        if (auto giveUp = hold(1)) return *giveUp;
        const std::uint8_t first = held.front();
        const bool echo = first == request[0] || first == kAltReplyCommand;
        const bool refusal = first == kRefusalFF || first == kRefusalR;
        const bool owed = mayBeLate(first);
        if (owed || (!echo && !refusal)) {
            auto holdPacketOf = [&](std::size_t n) { return owed ? hold(n) : holdArrived(n); };
            if (auto giveUp = holdPacketOf(2)) return *giveUp;
            if (held.size() >= 2 && held[1] >= 2) {
                if (auto giveUp = holdPacketOf(std::size_t{held[1]} + 1)) return *giveUp;
                if (isLateReply(held, request[0], expectedReplySize)) {
                    ++m_counters.lateReplies;
                    held.erase(held.begin(), held.begin() + held[1] + 1);
                    continue;
                }
            }
        }
        if (echo) break;
        if (refusal) {
            ++m_counters.refusals;
            return Attempt::Refused;
        }
        ++m_counters.noiseBytes;
        held.pop_front();
    }
    replyStarted = true;

    if (auto giveUp = hold(2)) return *giveUp;
    const std::size_t length = held[1];
    if (length < 2) {
        // A length of 0 or 1 would leave no room for a checksum.
        ++m_counters.badLengths;
        return Attempt::Retry;
    }
    if (auto giveUp = hold(length + 1)) return *giveUp;

    reply.assign(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(length + 1));
    if (!isValidPacket(reply)) {
        ++m_counters.checksumErrors;
        return Attempt::Retry;
    }
    return Attempt::Accepted;
}

PacketLink::Wait PacketLink::waitBuffered(std::size_t count, std::int64_t start,
                                          std::int64_t allowanceMs) {
    for (;;) {
        const auto available = m_port.bytesAvailable();
        if (!available) return Wait::PortError;
        if (*available >= count) return Wait::Ready;
        const std::int64_t elapsed = m_clock.tickMs() - start;
        if (elapsed > allowanceMs) return Wait::TimedOut;
        // Block on the port until the bytes come or the allowance is just past.
        if (!m_port.waitForBytes(count, allowanceMs - elapsed + 1)) return Wait::PortError;
    }
}

bool PacketLink::fail(bool showMessage) {
    if (showMessage) m_prompts.tell(kInterfaceNotResponding);
    return false;
}

bool PacketLink::ReadPacketData(std::uint8_t command, std::uint8_t expectedLength, Bytes& data) {
    Bytes request{command};
    return ReadPacketData(request, expectedLength, data);
}

bool PacketLink::ReadPacketData(Bytes& request, std::uint8_t expectedLength, Bytes& data) {
    std::int32_t ticks = 0;
    if (!TransactPacket(request, true, ticks, std::size_t{expectedLength} + 3)) return false;
    if (request.size() - 3 != expectedLength) return false;
    data.assign(request.begin() + 2, request.begin() + 2 + expectedLength);
    return true;
}

void PacketLink::wakeUp() {
    SendPacket(Bytes{kWakeUpCommand});
    // The reply takes a few milliseconds; left in the line it would be read as the answer to the
    // first real request.
    DiscardLateReply(kWakeUpCommand);
}

void PacketLink::DiscardLateReply(std::uint8_t command, std::int64_t maxWaitMs) {
    if (!m_port.isOpen()) return;
    const std::int64_t start = m_clock.tickMs();
    // Whole packets go until our own reply was among them: a reply still on its way to a
    // request of an earlier run (one killed, say) must not stand in for it.
    bool ours = false;
    while (!ours && waitBuffered(2, start, maxWaitMs) == Wait::Ready) {
        const auto head = m_port.read(2);
        if (!head) break;
        // The length byte tells how much is still on its way.
        const std::size_t rest = (*head)[1] > 1 ? (*head)[1] - 1u : 0u;
        if (waitBuffered(rest, start, maxWaitMs) != Wait::Ready) break;
        if (rest > 0 && !m_port.read(rest)) break;
        ours = (*head)[0] == command;
    }
    ComFlush();
    // A reply that has not come yet is skipped whole when it does.
    if (!ours) noteAbandoned(command, start);
}

}  // namespace tunalyx
