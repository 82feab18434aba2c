#include "link/packet_link.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "link/packet.h"

namespace tunalyx {

namespace {
constexpr std::uint8_t kWakeUpCommand = 0xF3;
// One byte on the wire at 57600 baud (10 bits), rounded up.
constexpr std::int64_t kByteMicros = 174;
constexpr std::size_t kLongestPacket = 256;  // a length byte of 255 and the command before it
// How long the bytes of one packet may pause on their way (a USB adaptor passes them on in
// batches); longer than that, and what looked like the start of a packet was none.
constexpr std::int64_t kPacketGapMs = 20;
static_assert(kLongestFlushMs >= (kLongestPacket * kByteMicros + 999) / 1000 + kPacketGapMs);

bool isRefusal(std::uint8_t b) {
    return b == kRefusalFF || b == kRefusalR;
}

// Walks `bytes` a packet at a time by their length bytes: where the last packet that is not yet
// whole starts, and how many bytes it still lacks (0: every packet is whole). A byte whose length
// byte is not here yet lacks one.
struct Unfinished {
    std::size_t start = 0;
    std::size_t missing = 0;
};
Unfinished unfinishedPacket(const std::deque<std::uint8_t>& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at == 1) return {at, 1};
        const std::size_t size = std::size_t{bytes[at + 1]} + 1;
        if (size < 3) {
            ++at;  // no packet has a length of 0 or 1: this byte starts none
            continue;
        }
        if (at + size > bytes.size()) return {at, at + size - bytes.size()};
        at += size;
    }
    return {};
}
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

void PacketLink::showHeldMessages() {
    std::vector<std::string> messages;
    {
        const std::lock_guard lock(m_heldMutex);
        messages.swap(m_heldMessages);
    }
    for (const std::string& text : messages)
        m_prompts.tell(text);
}

void PacketLink::SendPacket(const Bytes& request) {
    if (handedOver([&] { SendPacket(request); })) return;
    const auto frame = framePacket(request);
    if (!frame || !m_port.write(*frame)) return;
    ++m_transaction;
    noteSent(request[0], m_clock.tickMs());
}

void PacketLink::ComFlush() {
    if (handedOver([&] { ComFlush(); })) return;
    std::deque<std::uint8_t> bytes = std::exchange(m_carried, {});
    const std::int64_t limit = m_clock.tickMs() + kLongestFlushMs;
    for (;;) {
        if (!readArrived(bytes)) break;
        const Unfinished rest = unfinishedPacket(bytes);
        if (rest.missing == 0 || !mayBeLate(bytes[rest.start])) break;
        const std::int64_t until = std::min(packetDueBy(rest.missing), limit);
        if (m_clock.tickMs() > until) break;
        if (holdUntil(bytes, bytes.size() + rest.missing, until) == Wait::PortError) break;
    }
    settleFlushed(bytes);
}

bool PacketLink::readArrived(std::deque<std::uint8_t>& held) {
    const auto available = m_port.bytesAvailable();
    if (!available) return false;
    if (*available == 0) return true;
    const auto bytes = m_port.read(*available);
    if (!bytes) return false;
    held.insert(held.end(), bytes->begin(), bytes->end());
    m_lastByteMs = m_clock.tickMs();
    return true;
}

PacketLink::Wait PacketLink::holdUntil(std::deque<std::uint8_t>& held, std::size_t count,
                                       std::int64_t untilMs) {
    for (;;) {
        if (!readArrived(held)) return Wait::PortError;
        if (held.size() >= count) return Wait::Ready;
        const std::int64_t now = m_clock.tickMs();
        if (now > untilMs) return Wait::TimedOut;
        // Block on the port until the bytes come or the time is just past.
        if (!m_port.waitForBytes(count - held.size(), untilMs - now + 1)) return Wait::PortError;
    }
}

std::int64_t PacketLink::packetDueBy(std::size_t missing) const {
    const auto lineMs = (static_cast<std::int64_t>(missing) * kByteMicros + 999) / 1000;
    return m_lastByteMs + lineMs + kPacketGapMs;
}

bool PacketLink::TransactPacket(Bytes& request, bool showMessage) {
    std::int32_t ticks = 0;
    return TransactPacket(request, showMessage, ticks);
}

bool PacketLink::TransactPacket(Bytes& request, bool showMessage, std::int32_t& timeoutTicks) {
    return transact(request, showMessage, timeoutTicks, 0) == Transacted::Accepted;
}

bool PacketLink::TransactPacket(Bytes& request, bool showMessage, std::int32_t& timeoutTicks,
                                std::size_t expectedReplySize) {
    return transact(request, showMessage, timeoutTicks, expectedReplySize) == Transacted::Accepted;
}

Transacted PacketLink::Transact(Bytes& request, bool showMessage) {
    std::int32_t ticks = 0;
    return transact(request, showMessage, ticks, 0);
}

Transacted PacketLink::transact(Bytes& request, bool showMessage, std::int32_t& timeoutTicks,
                                std::size_t expectedReplySize) {
    // The outcome is taken inside the carried job: the owner's next transaction follows at once.
    Transacted outcome = Transacted::Failed;
    if (handedOver(
            [&] { outcome = transact(request, showMessage, timeoutTicks, expectedReplySize); }))
        return outcome;
    if (timeoutTicks == 0) timeoutTicks = m_settings.comTimeOutTicks;
    ++m_transaction;
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
                // The other sends of an accepted request are answered, if at all, by whole
                // packets of its command, which are skipped by their command.
                std::erase_if(m_owed,
                              [&](const Owed& o) { return o.transaction == m_transaction; });
                request = std::move(reply);
                return Transacted::Accepted;
            case Attempt::Retry:
                continue;
            case Attempt::Refused:
                (void)fail(showMessage);
                return Transacted::Refused;
            case Attempt::PortError:
                return fail(showMessage);
        }
    }
    return fail(showMessage);
}

std::int64_t PacketLink::lateWindowMs() const {
    // A unit slower than a whole transaction's allowances cannot be served anyway; a reply
    // later than that is noise again.
    const std::int64_t retries = std::max<std::int64_t>(m_settings.comRetries, 0);
    return std::int64_t{std::max(m_settings.comTimeOutTicks, 1)} * (retries + 1) * (retries + 2) /
           2;
}

void PacketLink::noteAbandoned(std::uint8_t command, std::int64_t sentMs) {
    m_lateUntilMs[command] = std::max(m_lateUntilMs[command], sentMs + lateWindowMs());
}

void PacketLink::noteSent(std::uint8_t command, std::int64_t sentMs) {
    constexpr std::size_t kLongestLedger = 64;  // a silent unit must not grow it without end
    if (m_owed.size() == kLongestLedger) m_owed.pop_front();
    m_owed.push_back({command, m_transaction, sentMs + lateWindowMs()});
}

void PacketLink::settle(std::uint8_t command) {
    const auto answered = std::find_if(m_owed.begin(), m_owed.end(),
                                       [&](const Owed& o) { return o.command == command; });
    if (answered != m_owed.end()) m_owed.erase(m_owed.begin(), answered + 1);
}

bool PacketLink::refusalIsLate() {
    const std::int64_t now = m_clock.tickMs();
    while (!m_owed.empty() && m_owed.front().untilMs < now)
        m_owed.pop_front();
    if (m_owed.empty()) return false;
    const bool late = m_owed.front().transaction != m_transaction;
    m_owed.pop_front();
    return late;
}

void PacketLink::settleFlushed(const std::deque<std::uint8_t>& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t size = at + 1 < bytes.size() ? std::size_t{bytes[at + 1]} + 1 : 1;
        if (size >= 3 && at + size <= bytes.size()) {
            const Bytes packet(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                               bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
            if (isValidPacket(packet)) {
                settle(packet[0]);
                at += size;
                continue;
            }
        }
        if (isRefusal(bytes[at]) && (at + 1 == bytes.size() || isRefusal(bytes[at + 1])))
            (void)refusalIsLate();
        ++at;
    }
}

bool PacketLink::mayBeLate(std::uint8_t command) const {
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

// One attempt after its request went out: the bytes read and not yet judged, and the deadline
// they are judged against. A packet is looked at whole before any of it is dropped; whatever the
// attempt leaves unused goes to the next flush, which sees where it ends.
class PacketLink::AttemptRun {
public:
    AttemptRun(PacketLink& link, const Bytes& request, std::size_t expectedReplySize,
               std::int64_t start, std::int64_t deadline)
        : m_link(link),
          m_request(request),
          m_expectedReplySize(expectedReplySize),
          m_start(start),
          m_deadline(deadline) {}

    // Drops what comes ahead of the reply; nothing once the echo of our command is first.
    std::optional<Attempt> skipToEcho();
    // The reply behind the echo, read whole and checked.
    Attempt takeReply(Bytes& reply);

private:
    // Whether the packet at the front of the bytes held is whole.
    enum class Packet { Whole, Broken, TimedOut, PortError };

    std::optional<Attempt> hold(std::size_t count);
    Packet holdPacket(bool owed);
    Wait followedClosely();
    Attempt leave(Attempt outcome) {
        m_link.m_carried = std::move(m_held);
        return outcome;
    }
    Attempt portError() {
        ++m_link.m_counters.portErrors;
        return Attempt::PortError;
    }

    PacketLink& m_link;
    const Bytes& m_request;
    std::size_t m_expectedReplySize;
    std::int64_t m_start;
    std::int64_t m_deadline;
    std::deque<std::uint8_t> m_held;
};

// Holds `count` bytes, waiting for those still missing until the attempt's deadline; nothing
// once they are here.
std::optional<PacketLink::Attempt> PacketLink::AttemptRun::hold(std::size_t count) {
    switch (m_link.holdUntil(m_held, count, m_deadline)) {
        case Wait::Ready:
            return std::nullopt;
        case Wait::TimedOut:
            ++m_link.m_counters.timeouts;
            // What we sent may still be answered, whole or the rest of a reply begun.
            m_link.noteAbandoned(m_request[0], m_start);
            return leave(Attempt::Retry);
        case Wait::PortError:
            break;
    }
    return portError();
}

// One owed to a send given up on is waited for while its bytes keep coming; any other only as far
// as it is here.
PacketLink::AttemptRun::Packet PacketLink::AttemptRun::holdPacket(bool owed) {
    for (bool looked = false;; looked = true) {
        const std::size_t size = m_held.size() >= 2 ? std::size_t{m_held[1]} + 1 : 2;
        if (m_held.size() >= 2 && size < 3) return Packet::Broken;
        if (m_held.size() >= size) return Packet::Whole;
        if (!owed && looked) return Packet::Broken;
        const std::int64_t until =
            owed ? std::min(m_deadline, m_link.packetDueBy(size - m_held.size()))
                 : std::numeric_limits<std::int64_t>::min();
        switch (m_link.holdUntil(m_held, size, until)) {
            case Wait::PortError:
                return Packet::PortError;
            case Wait::TimedOut:
                if (owed)
                    return m_link.m_clock.tickMs() > m_deadline ? Packet::TimedOut : Packet::Broken;
                break;
            case Wait::Ready:
                break;
        }
    }
}

// A refusal is one byte with nothing behind it: bytes close behind make it part of something
// else (how close, the same pause as inside a packet tells).
PacketLink::Wait PacketLink::AttemptRun::followedClosely() {
    if (m_held.size() > 1) return Wait::Ready;
    return m_link.holdUntil(m_held, 2, std::min(m_deadline, m_link.m_lastByteMs + kPacketGapMs));
}

// First byte: the echo of our command (even when that is "R"), 0xF2, or a refusal. A whole reply
// to another request is skipped: read byte by byte, the "R" of "SR20DET1" would end the
// transaction as a refusal. One owed to a send given up on is waited for while it keeps coming;
// one to a request we know nothing of (an earlier run's) only when it is here whole. Anything
// else is line noise, dropped a byte at a time while the deadline lasts.
std::optional<PacketLink::Attempt> PacketLink::AttemptRun::skipToEcho() {
    for (;;) {
        if (auto giveUp = hold(1)) return giveUp;
        const std::uint8_t first = m_held.front();
        const bool echo = first == m_request[0] || first == kAltReplyCommand;
        if (isRefusal(first) && !echo) {
            const Wait more = followedClosely();
            if (more == Wait::PortError) return portError();
            if (more == Wait::TimedOut) {
                m_held.pop_front();
                // The refusal of a send given up on in an earlier transaction (a refused block
                // write answered late) is no answer to this one's.
                if (m_link.refusalIsLate()) {
                    ++m_link.m_counters.lateReplies;
                    continue;
                }
                ++m_link.m_counters.refusals;
                return leave(Attempt::Refused);
            }
        }
        const bool owed = m_link.mayBeLate(first);
        if (owed || !echo) {
            switch (holdPacket(owed)) {
                case Packet::PortError:
                    return portError();
                case Packet::TimedOut:
                    if (auto giveUp = hold(m_held.size() + 1)) return giveUp;
                    continue;  // a byte came in just at the deadline: judge again
                case Packet::Whole:
                    if (isLateReply(m_held, m_request[0], m_expectedReplySize)) {
                        ++m_link.m_counters.lateReplies;
                        m_link.settle(m_held.front());
                        m_held.erase(m_held.begin(), m_held.begin() + m_held[1] + 1);
                        continue;
                    }
                    break;
                case Packet::Broken:
                    break;
            }
        }
        if (echo) return std::nullopt;
        ++m_link.m_counters.noiseBytes;
        m_held.pop_front();
    }
}

PacketLink::Attempt PacketLink::AttemptRun::takeReply(Bytes& reply) {
    if (auto giveUp = hold(2)) return *giveUp;
    const std::size_t length = m_held[1];
    if (length < 2) {
        // A length of 0 or 1 would leave no room for a checksum.
        ++m_link.m_counters.badLengths;
        return leave(Attempt::Retry);
    }
    if (auto giveUp = hold(length + 1)) return *giveUp;

    const auto end = m_held.begin() + static_cast<std::ptrdiff_t>(length + 1);
    reply.assign(m_held.begin(), end);
    m_held.erase(m_held.begin(), end);
    if (!isValidPacket(reply)) {
        ++m_link.m_counters.checksumErrors;
        return leave(Attempt::Retry);
    }
    m_link.settle(m_request[0]);
    return leave(Attempt::Accepted);
}

PacketLink::Attempt PacketLink::runAttempt(const Bytes& request, std::size_t expectedReplySize,
                                           std::int64_t allowanceMs, Bytes& reply) {
    ComFlush();
    // The allowance counts from here: letting a late packet finish is not the unit's time.
    const std::int64_t start = m_clock.tickMs();
    if (!m_port.write(*framePacket(request))) {
        ++m_counters.portErrors;
        return Attempt::PortError;
    }
    noteSent(request[0], start);
    AttemptRun run(*this, request, expectedReplySize, start, start + allowanceMs);
    if (const auto giveUp = run.skipToEcho()) return *giveUp;
    return run.takeReply(reply);
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

Transacted PacketLink::fail(bool showMessage) {
    if (!showMessage) return Transacted::Failed;
    // Messages belong to the window's thread, which may be waiting for this very transaction.
    if (m_owner) {
        const std::lock_guard lock(m_heldMutex);
        m_heldMessages.emplace_back(kInterfaceNotResponding);
    } else {
        m_prompts.tell(kInterfaceNotResponding);
    }
    return Transacted::Failed;
}

bool PacketLink::ReadPacketData(std::uint8_t command, std::uint8_t expectedLength, Bytes& data) {
    Bytes request{command};
    return ReadPacketData(request, expectedLength, data);
}

std::optional<Bytes> PacketLink::readQuietly(std::uint8_t command, std::size_t expectedLength) {
    Bytes reply{command};
    std::int32_t ticks = 0;
    if (!TransactPacket(reply, false, ticks, expectedLength == 0 ? 0 : expectedLength + 3))
        return std::nullopt;
    return Bytes(reply.begin() + 2, reply.end() - 1);
}

bool PacketLink::ReadPacketData(Bytes& request, std::uint8_t expectedLength, Bytes& data) {
    std::int32_t ticks = 0;
    if (!TransactPacket(request, true, ticks, std::size_t{expectedLength} + 3)) return false;
    if (request.size() - 3 != expectedLength) return false;
    data.assign(request.begin() + 2, request.begin() + 2 + expectedLength);
    return true;
}

void PacketLink::wakeUp() {
    if (handedOver([&] { wakeUp(); })) return;
    // Bytes and sends of the port used before are no part of this one's line.
    m_carried.clear();
    m_owed.clear();
    SendPacket(Bytes{kWakeUpCommand});
    // The reply takes a few milliseconds; left in the line it would be read as the answer to the
    // first real request.
    DiscardLateReply(kWakeUpCommand);
}

void PacketLink::DiscardLateReply(std::uint8_t command, std::int64_t maxWaitMs) {
    if (handedOver([&] { DiscardLateReply(command, maxWaitMs); })) return;
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
        settle((*head)[0]);
        ours = (*head)[0] == command;
    }
    // A reply that has not come yet is skipped whole when it does.
    if (!ours) noteAbandoned(command, start);
    ComFlush();
}

}  // namespace tunalyx
