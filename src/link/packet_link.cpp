#include "link/packet_link.h"

#include "link/packet.h"

namespace tunalyx {

LinkSettings LinkSettings::fromStore(const SettingsStore& store) {
    LinkSettings s;
    s.comTimeOutTicks = static_cast<std::int32_t>(store.integer("ComTimeOutTicks", 100));
    s.comRetries = static_cast<std::int32_t>(store.integer("ComRetries", 3));
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
    if (timeoutTicks == 0) timeoutTicks = m_settings.comTimeOutTicks;
    if (!framePacket(request) || !m_port.isOpen()) {
        ++m_counters.portErrors;
        return fail(showMessage);
    }
    // The allowance grows with each attempt: a slow unit gets more time, not more noise.
    for (std::int32_t attempt = 1; attempt <= m_settings.comRetries + 1; ++attempt) {
        Bytes reply;
        switch (runAttempt(request, std::int64_t{timeoutTicks} * attempt, reply)) {
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

PacketLink::Attempt PacketLink::runAttempt(const Bytes& request, std::int64_t allowanceMs,
                                           Bytes& reply) {
    const std::int64_t start = m_clock.tickMs();
    ComFlush();
    const auto frame = framePacket(request);
    if (!m_port.write(*frame)) {
        ++m_counters.portErrors;
        return Attempt::PortError;
    }

    auto waitOrGiveUp = [&](std::size_t count) -> std::optional<Attempt> {
        switch (waitBuffered(count, start, allowanceMs)) {
            case Wait::Ready:
                return std::nullopt;
            case Wait::TimedOut:
                ++m_counters.timeouts;
                return Attempt::Retry;
            case Wait::PortError:
                ++m_counters.portErrors;
                return Attempt::PortError;
        }
        return Attempt::PortError;
    };
    auto readBytes = [&](std::size_t count) -> std::optional<Bytes> {
        auto bytes = m_port.read(count);
        if (!bytes) ++m_counters.portErrors;
        return bytes;
    };

    // First byte: the echo of our command (even when that is "R"), 0xF2, or a refusal; anything
    // else is line noise and is dropped while the deadline lasts.
    std::uint8_t first = 0;
    for (;;) {
        if (auto giveUp = waitOrGiveUp(1)) return *giveUp;
        const auto b = readBytes(1);
        if (!b) return Attempt::PortError;
        first = (*b)[0];
        if (first == request[0] || first == kAltReplyCommand) break;
        if (first == kRefusalFF || first == kRefusalR) {
            ++m_counters.refusals;
            return Attempt::Refused;
        }
        ++m_counters.noiseBytes;
    }

    if (auto giveUp = waitOrGiveUp(1)) return *giveUp;
    const auto lengthByte = readBytes(1);
    if (!lengthByte) return Attempt::PortError;
    const std::size_t length = (*lengthByte)[0];
    if (length < 2) {
        // A length of 0 or 1 would leave no room for a checksum.
        ++m_counters.badLengths;
        return Attempt::Retry;
    }

    if (auto giveUp = waitOrGiveUp(length - 1)) return *giveUp;
    const auto rest = readBytes(length - 1);
    if (!rest) return Attempt::PortError;

    reply.clear();
    reply.reserve(length + 1);
    reply.push_back(first);
    reply.push_back(static_cast<std::uint8_t>(length));
    reply.insert(reply.end(), rest->begin(), rest->end());
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
    if (!TransactPacket(request, true, ticks)) return false;
    if (request.size() - 3 != expectedLength) return false;
    data.assign(request.begin() + 2, request.begin() + 2 + expectedLength);
    return true;
}

void PacketLink::wakeUp() {
    SendPacket(Bytes{0xF3});
    // The reply takes a few milliseconds; left in the line it would be read as the answer to the
    // first real request.
    DiscardLateReply();
}

void PacketLink::DiscardLateReply(std::int64_t maxWaitMs) {
    if (!m_port.isOpen()) return;
    const std::int64_t start = m_clock.tickMs();
    if (waitBuffered(2, start, maxWaitMs) == Wait::Ready) {
        // The length byte tells how much is still on its way.
        if (auto head = m_port.read(2))
            (void)waitBuffered((*head)[1] > 1 ? (*head)[1] - 1 : 0, start, maxWaitMs);
    }
    ComFlush();
}

}  // namespace tunalyx
