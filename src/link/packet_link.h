#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ports/bytes.h"
#include "ports/clock.h"
#include "ports/serial_port.h"
#include "ports/settings_store.h"
#include "ports/user_prompts.h"

namespace tunalyx {

inline constexpr const char* kInterfaceNotResponding = "Interface not responding!";

// The longest a flush lets a late packet finish before the next send: the whole of the longest
// packet at the line's rate and a pause, however its bytes trickle in. That wait is not the
// unit's: the next attempt's allowance counts from its send.
inline constexpr std::int64_t kLongestFlushMs = 65;

struct LinkSettings {
    std::int32_t comTimeOutTicks = 100;  // base reply allowance, ms
    std::int32_t comRetries = 3;         // further attempts after the first

    // "ComTimeOutTicks" and "ComRetries"; read once, never written back.
    static LinkSettings fromStore(const SettingsStore& store);
};

// What the link threw away or gave up on, for diagnostics and tests.
struct LinkCounters {
    std::uint64_t noiseBytes = 0;  // first bytes that were neither echo, 0xF2 nor a refusal
    std::uint64_t checksumErrors = 0;
    std::uint64_t badLengths = 0;  // reply length byte 0 or 1
    std::uint64_t timeouts = 0;    // attempts abandoned at their deadline
    std::uint64_t refusals = 0;    // first byte 0xFF or "R"
    std::uint64_t portErrors = 0;
    std::uint64_t lateReplies = 0;  // whole replies to other requests, skipped
};

// A thread that has the line to itself for a while (the live-data worker). Transactions asked
// for on any other thread are handed to it and carried out whole between its own.
class LineOwner {
public:
    virtual ~LineOwner() = default;
    [[nodiscard]] virtual bool onOwnerThread() const = 0;
    // Runs `job` on the owner's thread and returns once it is done. False when the owner has
    // let the line go: the job did not run, and the caller's thread has the line again.
    virtual bool carry(const std::function<void()>& job) = 0;
};

// How a transaction ended: a reply, the unit's refusal (it answered, and said no), or silence or
// a broken line.
enum class Transacted { Accepted, Refused, Failed };

// The request/reply exchange with the engine computer over one serial port.
class PacketLink {
public:
    PacketLink(SerialPort& port, Clock& clock, UserPrompts& prompts, LinkSettings settings = {});

    // Frames the request (command byte + data, 1..254 bytes) and writes it in one operation.
    // Reports nothing; a port error is ignored.
    void SendPacket(const Bytes& request);

    // Sends the request and waits for one valid reply, with the growing per-attempt allowance and
    // ComRetries further attempts. On success the request is replaced by the whole reply packet
    // and true is returned. timeoutTicks 0 selects ComTimeOutTicks and is set to it.
    [[nodiscard]] bool TransactPacket(Bytes& request, bool showMessage, std::int32_t& timeoutTicks);
    [[nodiscard]] bool TransactPacket(Bytes& request, bool showMessage);
    // The same, telling a refusal from a failure. The outcome is this call's own, also when the
    // line's owner carried it between transactions of its own.
    [[nodiscard]] Transacted Transact(Bytes& request, bool showMessage);

    // Reads one block: the reply must carry exactly expectedLength data bytes, which then replace
    // `data`. On any failure `data` is left as it was; a wrong length shows no message.
    [[nodiscard]] bool ReadPacketData(Bytes& request, std::uint8_t expectedLength, Bytes& data);
    [[nodiscard]] bool ReadPacketData(std::uint8_t command, std::uint8_t expectedLength,
                                      Bytes& data);
    // Reads one block's data for a check of the caller's, which says itself what failed: no
    // message. A reply of another length (a late acknowledgement of a write of the same
    // block) is skipped as someone else's; expectedLength 0 takes any length.
    [[nodiscard]] std::optional<Bytes> readQuietly(std::uint8_t command,
                                                   std::size_t expectedLength);

    // Discards everything waiting in the receive buffer; port errors are ignored. A packet owed
    // to a send given up on that has begun to arrive is let finish first: flushed in its middle,
    // its tail would be read as the start of the next reply (an "R" in it as a refusal).
    void ComFlush();
    // The clock the waits count on; live data take their time stamps from it too.
    [[nodiscard]] Clock& clock() const { return m_clock; }

    // Waits up to maxWaitMs for the reply to a request sent without a transaction (the wake-up
    // packet) and throws it away, so that the next transaction cannot mistake it for its own;
    // a reply that comes later still is skipped by the transactions.
    void DiscardLateReply(std::uint8_t command, std::int64_t maxWaitMs = 50);

    // What a newly opened port sends: the bare 0xF3 request (F3 02 0A), its reply thrown away.
    void wakeUp();

    [[nodiscard]] const LinkSettings& settings() const { return m_settings; }
    void setSettings(const LinkSettings& s) { m_settings = s; }
    [[nodiscard]] const LinkCounters& counters() const { return m_counters; }
    [[nodiscard]] SerialPort& port() { return m_port; }

    // While an owner is set, only its thread touches the port; the others' calls are carried by
    // it, and the messages of failed transactions wait for whoever shows messages (the thread
    // that set the owner) in showHeldMessages(). Set and cleared on that thread, with the owner
    // not yet or no longer running.
    void setLineOwner(LineOwner* owner) { m_owner = owner; }
    // Shows the messages held while an owner had the line, in the order they came.
    void showHeldMessages();

private:
    enum class Wait { Ready, TimedOut, PortError };
    enum class Attempt { Accepted, Retry, Refused, PortError };
    // One attempt's bytes and deadline, with the steps that judge them.
    class AttemptRun;

    Attempt runAttempt(const Bytes& request, std::size_t expectedReplySize,
                       std::int64_t allowanceMs, Bytes& reply);
    [[nodiscard]] bool TransactPacket(Bytes& request, bool showMessage, std::int32_t& timeoutTicks,
                                      std::size_t expectedReplySize);
    Transacted transact(Bytes& request, bool showMessage, std::int32_t& timeoutTicks,
                        std::size_t expectedReplySize);
    Wait waitBuffered(std::size_t count, std::int64_t start, std::int64_t allowanceMs);
    // Reads what has arrived onto the end of `held`, without waiting. False on a port error.
    bool readArrived(std::deque<std::uint8_t>& held);
    // Reads into `held` until it holds `count` bytes or the tick passes `untilMs`.
    Wait holdUntil(std::deque<std::uint8_t>& held, std::size_t count, std::int64_t untilMs);
    // When the rest of a packet that has begun arriving may be given up on: its remaining bytes
    // at the line's rate after the last byte seen, and a pause such as a USB adaptor makes.
    [[nodiscard]] std::int64_t packetDueBy(std::size_t missing) const;
    // `held` starts with a whole valid packet that is not the reply awaited for `command` (another
    // command's, or when the size is known, a packet of another size).
    [[nodiscard]] static bool isLateReply(const std::deque<std::uint8_t>& held,
                                          std::uint8_t command, std::size_t expectedReplySize);
    // The reply to this send may still come; until the allowances of a whole transaction
    // have passed, a packet answering it is waited for whole and skipped.
    void noteAbandoned(std::uint8_t command, std::int64_t sentMs);
    [[nodiscard]] bool mayBeLate(std::uint8_t command) const;
    // How long after a send its reply may still come: the allowances of a whole transaction.
    [[nodiscard]] std::int64_t lateWindowMs() const;
    // The ledger of sends not yet answered, kept for lone refusal bytes, which name no command:
    // a request refused or never answered may have its other sends answered late by refusals.
    // A unit answers in turn, so a reply settles the oldest send of its command (and those
    // before it, which will not be answered now); a lone refusal settles the oldest send of all.
    void noteSent(std::uint8_t command, std::int64_t sentMs);
    void settle(std::uint8_t command);
    // Whether a lone refusal that has just come answers a send of an earlier transaction (and
    // settles it): then it is not this transaction's answer.
    [[nodiscard]] bool refusalIsLate();
    // Settles what a flush threw away: whole packets by their command, lone refusals in turn.
    void settleFlushed(const std::deque<std::uint8_t>& bytes);
    Transacted fail(bool showMessage);
    // Carries `job` to the line's owner when this thread is not it; false when the caller is to
    // run it itself.
    template <typename Job>
    bool handedOver(Job&& job) {
        if (!m_owner || m_owner->onOwnerThread() || !m_owner->carry(std::forward<Job>(job)))
            return false;
        showHeldMessages();
        return true;
    }

    SerialPort& m_port;
    Clock& m_clock;
    UserPrompts& m_prompts;
    LinkSettings m_settings;
    LinkCounters m_counters;
    // Per command byte: until when a reply to a send given up on may still come.
    std::array<std::int64_t, 256> m_lateUntilMs = [] {
        std::array<std::int64_t, 256> never{};
        never.fill(std::numeric_limits<std::int64_t>::min());
        return never;
    }();
    // Bytes read from the port that no reply used (an abandoned attempt's, or what came behind
    // a reply): the next flush judges them with what follows.
    std::deque<std::uint8_t> m_carried;
    struct Owed {
        std::uint8_t command;
        std::uint64_t transaction;  // a bare send (the wake-up's) counts as one of its own
        std::int64_t untilMs;       // after this its reply is no longer waited for
    };
    std::deque<Owed> m_owed;          // in the order sent
    std::uint64_t m_transaction = 0;  // the one running or last run
    std::int64_t m_lastByteMs = 0;    // when bytes last came in
    LineOwner* m_owner = nullptr;
    std::mutex m_heldMutex;
    std::vector<std::string> m_heldMessages;  // guarded by m_heldMutex
};

}  // namespace tunalyx
