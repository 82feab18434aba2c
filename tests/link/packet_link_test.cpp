#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "link/packet.h"
#include "link/packet_link.h"
#include "ports/memory_settings_store.h"
#include "support/recording_prompts.h"
#include "support/scripted_serial_port.h"

namespace tunalyx {
namespace {

using test::Chunk;
using test::RecordingPrompts;
using test::ScriptedSerialPort;

class PacketLinkTest : public ::testing::Test {
protected:
    ManualClock clock;
    ScriptedSerialPort port{clock};
    RecordingPrompts prompts;
    PacketLink link{port, clock, prompts};

    double writeMs(std::size_t i) const {
        return static_cast<double>(port.writes().at(i).atMicros) / 1000.0;
    }
};

TEST(PacketFrame, FramesAndChecksumsAsTheUnitExpects) {
    EXPECT_EQ(*framePacket({0xF3}), (Bytes{0xF3, 0x02, 0x0A}));
    EXPECT_EQ(*framePacket({0xF6, 0x00}), (Bytes{0xF6, 0x03, 0x00, 0x06}));
    EXPECT_TRUE(isValidPacket(Bytes{0xF3, 0x02, 0x0A}));
    EXPECT_FALSE(isValidPacket(Bytes{0xF3, 0x02, 0x0B}));
    EXPECT_FALSE(isValidPacket(Bytes{0xF3, 0x03, 0x0A}));  // length byte does not match
    EXPECT_FALSE(framePacket({}));
    EXPECT_TRUE(framePacket(Bytes(254, 0x11)));
    EXPECT_FALSE(framePacket(Bytes(255, 0x11)));  // the length byte would pass 255
}

// The reply replaces the request: the command's own, an echo of 0x52 ("R", which alone would be
// a refusal), or another command byte whose checksum holds.
TEST_F(PacketLinkTest, AcceptedReplyReplacesTheRequest) {
    const std::pair<std::uint8_t, Bytes> cases[] = {
        {0xF5, frameReply(0xF5, bytesFromText("5.01 "))},
        {0x52, frameReply(0x52, Bytes(100, 0x20))},
        {0x8B, frameReply(0xF2, {0x01})}};
    for (const auto& [command, answer] : cases) {
        port.replyNext(answer);
        Bytes request{command};
        ASSERT_TRUE(link.TransactPacket(request, true));
        EXPECT_EQ(request, answer);
    }
    ASSERT_EQ(port.writes().size(), 3u);
    EXPECT_EQ(port.writes()[0].bytes, (Bytes{0xF5, 0x02, 0x08}));
    EXPECT_TRUE(prompts.messages().empty());
}

TEST_F(PacketLinkTest, NoiseBeforeTheReplyIsSkippedByteByByte) {
    port.replyNext({{1, {0x00, 0x13}}, {3, {0x7E}}, {5, frameReply(0x8A, {1, 2, 3})}});
    Bytes request{0x8A};
    ASSERT_TRUE(link.TransactPacket(request, true));
    EXPECT_EQ(request, frameReply(0x8A, {1, 2, 3}));
    EXPECT_EQ(link.counters().noiseBytes, 3u);
    EXPECT_EQ(port.writes().size(), 1u);
}

// The reply begun at 99 ms never ends: the attempt is over at 101 ms, and the retry goes out
// once the rest of that reply has had its time on the line (20 ms of quiet after its last byte).
// That wait is not the unit's: the retry's allowance counts from its send.
TEST_F(PacketLinkTest, NoiseThatOutlastsTheAllowanceCostsTheAttempt) {
    port.replyNext({{1, {0x00}}, {99, {0x8A}}});  // the length byte never comes
    port.replyNext(frameReply(0x8A, {9}), 190);
    Bytes request{0x8A};
    ASSERT_TRUE(link.TransactPacket(request, true));
    EXPECT_EQ(request, frameReply(0x8A, {9}));
    EXPECT_EQ(port.writes().size(), 2u);
    EXPECT_DOUBLE_EQ(writeMs(1), 121);
    EXPECT_EQ(link.counters().timeouts, 1u);
}

TEST_F(PacketLinkTest, ChecksumErrorResendsTheCallersRequestNeverTheBadReply) {
    Bytes bad = frameReply(0x90, {1, 2, 3, 4, 5, 6});
    bad.back() ^= 0x01;
    port.replyNext(bad);
    port.replyNext(frameReply(0x90, {1, 2, 3, 4, 5, 6}));
    Bytes request{0x90, 0xAA};
    ASSERT_TRUE(link.TransactPacket(request, true));
    ASSERT_EQ(port.writes().size(), 2u);
    EXPECT_EQ(port.writes()[0].bytes, *framePacket({0x90, 0xAA}));
    EXPECT_EQ(port.writes()[1].bytes, *framePacket({0x90, 0xAA}));
    EXPECT_EQ(link.counters().checksumErrors, 1u);
}

TEST_F(PacketLinkTest, AllowanceGrowsPerAttemptFromEachAttemptsOwnStart) {
    for (int i = 0; i < 4; ++i)
        port.silentNext();
    Bytes request{0xF3};
    EXPECT_FALSE(link.TransactPacket(request, true));
    ASSERT_EQ(port.writes().size(), 4u);
    // Each attempt is abandoned once more than timeoutTicks x attempt ms have passed.
    EXPECT_DOUBLE_EQ(writeMs(0), 0);
    EXPECT_DOUBLE_EQ(writeMs(1), 101);
    EXPECT_DOUBLE_EQ(writeMs(2), 101 + 201);
    EXPECT_DOUBLE_EQ(writeMs(3), 101 + 201 + 301);
    EXPECT_EQ(clock.tickMs(), 101 + 201 + 301 + 401);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kInterfaceNotResponding});
    EXPECT_EQ(request, Bytes{0xF3});  // untouched on failure
    // The waits block on the port: a handful of waits, not a busy poll.
    EXPECT_LE(port.waits(), 8);
}

// The deadline is "more than the allowance has passed": at tick 100 of a 100 ms attempt the
// wait goes on; from tick 101 the attempt is over.
TEST_F(PacketLinkTest, ReplyAtTheEdgeOfTheAllowance) {
    const Bytes whole = frameReply(0x81, {7});
    const Bytes first(whole.begin(), whole.begin() + 1), rest(whole.begin() + 1, whole.end());
    for (const double restAtMs : {100.7, 101.5}) {
        SCOPED_TRACE(restAtMs);
        ScriptedSerialPort edge{clock};
        PacketLink edgeLink{edge, clock, prompts};
        edge.replyNext({{100.2, first}, {restAtMs, rest}});
        edge.replyNext(whole);
        Bytes request{0x81};
        ASSERT_TRUE(edgeLink.TransactPacket(request, false));
        EXPECT_EQ(edge.writes().size(), restAtMs < 101 ? 1u : 2u);
    }
}

// With no retries there is one attempt at the base allowance; a transaction's allowance of 0
// takes the stored one.
TEST_F(PacketLinkTest, NoRetriesAndTheStoredAllowance) {
    link.setSettings({250, 0});
    port.silentNext();
    std::int32_t ticks = 0;
    Bytes request{0xF3};
    EXPECT_FALSE(link.TransactPacket(request, false, ticks));
    EXPECT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(ticks, 250);
    EXPECT_EQ(clock.tickMs(), 251);
    EXPECT_TRUE(prompts.messages().empty());

    ticks = 40;  // an explicit allowance is kept
    port.silentNext();
    EXPECT_FALSE(link.TransactPacket(request, false, ticks));
    EXPECT_EQ(ticks, 40);
    EXPECT_EQ(clock.tickMs(), 251 + 41);
}

TEST_F(PacketLinkTest, RefusalEndsAtOnceWithoutRetry) {
    for (std::uint8_t refusal : {std::uint8_t{0xFF}, std::uint8_t{'R'}}) {
        prompts.clear();
        const auto writesBefore = port.writes().size();
        port.replyNext(Bytes{refusal});
        Bytes request{0x86, 1, 2, 3};
        EXPECT_FALSE(link.TransactPacket(request, true));
        EXPECT_EQ(port.writes().size(), writesBefore + 1);
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{kInterfaceNotResponding});
        EXPECT_EQ(request, (Bytes{0x86, 1, 2, 3}));
    }
    EXPECT_EQ(link.counters().refusals, 2u);
}

// A transaction carried by the line's owner (the live run's worker) keeps its own outcome,
// although the owner's next poll follows before the caller looks at it.
TEST_F(PacketLinkTest, ACarriedRefusalStaysARefusalAfterTheOwnersNextPoll) {
    struct PollingOwner final : LineOwner {
        PacketLink* link = nullptr;
        bool inside = false;
        [[nodiscard]] bool onOwnerThread() const override { return inside; }
        bool carry(const std::function<void()>& job) override {
            inside = true;
            job();
            Bytes poll{0xF0};
            EXPECT_TRUE(link->TransactPacket(poll, false));
            inside = false;
            return true;
        }
    } owner;
    owner.link = &link;
    link.setLineOwner(&owner);
    port.replyNext(Bytes{0xFF});
    port.replyNext(frameReply(0xF0, {1, 2}));
    Bytes request{0x86, 1, 2, 3};
    EXPECT_EQ(link.Transact(request, false), Transacted::Refused);
    EXPECT_EQ(port.writes().size(), 2u);
    link.setLineOwner(nullptr);
}

TEST_F(PacketLinkTest, LengthByteZeroOrOneIsAFailedAttempt) {
    port.replyNext(Bytes{0x8B, 0x00});
    port.replyNext(Bytes{0x8B, 0x01});
    port.replyNext(frameReply(0x8B, {5}));
    Bytes request{0x8B};
    ASSERT_TRUE(link.TransactPacket(request, true));
    EXPECT_EQ(port.writes().size(), 3u);
    EXPECT_EQ(link.counters().badLengths, 2u);
}

TEST_F(PacketLinkTest, PortErrorEndsTheTransactionAtOnce) {
    port.close();
    Bytes request{0xF3};
    EXPECT_FALSE(link.TransactPacket(request, true));
    EXPECT_TRUE(port.writes().empty());
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kInterfaceNotResponding});
    EXPECT_EQ(clock.tickMs(), 0);

    ASSERT_TRUE(port.open());
    port.setBroken(true);
    EXPECT_FALSE(link.TransactPacket(request, false));
    EXPECT_EQ(prompts.messages().size(), 1u);
    // A send and a flush on a broken port say nothing and do not wait.
    const auto before = clock.tickMs();
    link.SendPacket({0xF3});
    link.ComFlush();
    EXPECT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(clock.tickMs(), before);
    EXPECT_EQ(link.counters().portErrors, 2u);
}

TEST_F(PacketLinkTest, ReadPacketDataTakesOnlyTheExpectedLength) {
    Bytes slot{0xAA, 0xBB};
    port.replyNext(frameReply(0xF5, bytesFromText("3.12A")));
    ASSERT_TRUE(link.ReadPacketData(0xF5, 5, slot));
    EXPECT_EQ(slot, bytesFromText("3.12A"));

    for (const Bytes& data : {Bytes{1, 2, 3, 4}, Bytes{1, 2, 3, 4, 5, 6}}) {
        port.replyNext(frameReply(0xF5, data));
        EXPECT_FALSE(link.ReadPacketData(0xF5, 5, slot));
        EXPECT_EQ(slot, bytesFromText("3.12A"));
    }
    EXPECT_TRUE(prompts.messages().empty());  // a wrong length shows nothing

    for (int i = 0; i < 4; ++i)
        port.silentNext();
    EXPECT_FALSE(link.ReadPacketData(0xF5, 5, slot));
    EXPECT_EQ(slot, bytesFromText("3.12A"));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kInterfaceNotResponding});
}

// A unit slower than the first allowance: the first request's reply is taken by the second
// attempt, and the reply to the second send then arrives while the next request waits. Taken
// byte by byte, the "R" of "SR20DET1" inside it would end that transaction as a refusal.
class LateReplyTest : public PacketLinkTest {
protected:
    const Bytes name = frameReply(0xF3, bytesFromText("SR20DET1"));
    const Bytes version = frameReply(0xF5, bytesFromText("5.01 "));

    // F3 answered 150 ms after each send: attempt 1 gives up at 101 ms, attempt 2 gets the
    // first reply at 150 ms; the second reply is still on its way.
    void readNameLate() {
        const auto start = clock.tickMs();
        port.replyNext(name, 150);
        port.replyNext(name, 150);
        Bytes request{0xF3};
        ASSERT_TRUE(link.TransactPacket(request, true));
        ASSERT_EQ(request, name);
        ASSERT_EQ(clock.tickMs(), start + 150);
    }
};

TEST_F(LateReplyTest, WholeReplyToAGivenUpSendIsSkippedNotTakenForARefusal) {
    readNameLate();
    port.replyNext(version, 150);  // arrives at 300 ms, after the second name at 251 ms
    port.replyNext(version, 150);
    Bytes request{0xF5};
    ASSERT_TRUE(link.TransactPacket(request, true));
    EXPECT_EQ(request, version);
    EXPECT_EQ(link.counters().lateReplies, 1u);
    EXPECT_EQ(link.counters().refusals, 0u);
    EXPECT_EQ(link.counters().noiseBytes, 0u);
    EXPECT_TRUE(prompts.messages().empty());
}

// The late reply carries the block's own command byte: a write's acknowledgement (or a read of
// another size) is not the block a read waits for.
TEST_F(LateReplyTest, LateReplyOfTheSameCommandButAnotherSizeIsNotTheBlockRead) {
    const Bytes block = frameReply(0x8B, Bytes(12, 0x42));
    port.replyNext(frameReply(0x8B, {}), 150);
    port.replyNext(frameReply(0x8B, {}), 150);  // at 251 ms, while the read below waits
    Bytes write{0x8B, 1, 2};
    ASSERT_TRUE(link.TransactPacket(write, false));
    port.replyNext(block, 150);
    Bytes slot;
    ASSERT_TRUE(link.ReadPacketData(0x8B, 12, slot));
    EXPECT_EQ(slot, Bytes(12, 0x42));
    EXPECT_EQ(link.counters().lateReplies, 1u);
}

// What a slow unit did: the second acknowledgement of a write answered late ("AB 02 52")
// arrives just as the next request's first attempt gives up. A flush between its first byte and
// the rest would leave "02 52", whose "R" would end the retry as a refusal.
TEST_F(LateReplyTest, AFlushNeverCutsALateReplyInTwo) {
    const Bytes ack = frameReply(0xAB, {});
    ASSERT_EQ(ack.back(), 'R');
    port.replyNext(ack, 150);
    port.replyNext({{149.9, {ack[0]}}, {150.5, {ack[1]}}, {150.7, {ack[2]}}});  // 250.9 .. 251.7
    Bytes write{0xAB, 1, 2};
    ASSERT_TRUE(link.TransactPacket(write, false));
    ASSERT_EQ(clock.tickMs(), 150);

    const Bytes block = frameReply(0x8B, Bytes(12, 0x42));
    port.silentNext();  // the first attempt gives up at 251 ms, with "AB" in hand
    port.replyNext(block, 3);
    Bytes slot;
    ASSERT_TRUE(link.ReadPacketData(0x8B, 12, slot));
    EXPECT_EQ(slot, Bytes(12, 0x42));
    EXPECT_EQ(port.writes().size(), 4u);
    EXPECT_EQ(link.counters().refusals, 0u);
    EXPECT_EQ(link.counters().noiseBytes, 0u);
}

// A unit that answers later than the first allowance refuses a block write: its refusal of the
// first send ends the write, and its refusal of the resend comes while the next request waits.
// That one names no command, but the unit answers in turn: it is the write's, not the next one's.
TEST_F(LateReplyTest, ALateRefusalOfAResendIsNotTheNextRequestsAnswer) {
    for (const int delayMs : {105, 120, 150})
        for (const std::uint8_t refusal : {kRefusalFF, kRefusalR}) {
            SCOPED_TRACE(std::to_string(delayMs) + " ms, refusal " + std::to_string(refusal));
            ScriptedSerialPort slow{clock};
            PacketLink slowLink{slow, clock, prompts};
            slow.replyNext(Bytes{refusal}, delayMs);
            slow.replyNext(Bytes{refusal}, delayMs);
            Bytes write{0x86, 1, 2, 3};
            EXPECT_FALSE(slowLink.TransactPacket(write, false));
            EXPECT_EQ(slow.writes().size(), 2u);

            const Bytes cellAck = frameReply(0x20, {});
            slow.replyNext(cellAck, delayMs);
            slow.replyNext(cellAck, delayMs);
            Bytes cell{0x20, 0x05, 0x41};
            ASSERT_TRUE(slowLink.TransactPacket(cell, false));
            EXPECT_EQ(cell, cellAck);
            EXPECT_EQ(slowLink.counters().refusals, 1u);
            EXPECT_EQ(slowLink.counters().lateReplies, 1u);

            // A refusal of its own is still one.
            slow.replyNext(Bytes{refusal}, 5);
            Bytes another{0x87, 4, 5};
            EXPECT_FALSE(slowLink.TransactPacket(another, false));
            EXPECT_EQ(slowLink.counters().refusals, 2u);
        }
}

// A late packet trickling in is let finish for at most one whole packet's time at the line's
// rate and a pause; then the next send goes out, and its allowance counts from there.
TEST_F(LateReplyTest, AFlushWaitsForATricklingLatePacketNoLongerThanOnePacket) {
    port.silentNext();
    port.replyNext(frameReply(0x8B, {7}));
    Bytes block{0x8B};
    ASSERT_TRUE(link.TransactPacket(block, false));
    Bytes claims{0x8B, 0xFF};  // the start of a 256-byte packet, then a byte every 15 ms
    for (int i = 0; i < 10; ++i) {
        port.deliverAt(clock.tickMs() + 1 + 15.0 * i, claims);
        claims = {0x00};
    }
    clock.advanceMs(2);
    const double flushFrom = clock.tickMs();
    port.replyNext(version, 5);  // behind the trickle
    Bytes request{0xF5};
    ASSERT_TRUE(link.TransactPacket(request, false));
    EXPECT_EQ(request, version);
    EXPECT_LE(writeMs(2) - flushFrom, kLongestFlushMs + 1);
}

// A refusal is one byte with nothing close behind it, even while a reply to block 0x52 ("R") may
// still come; a refusal byte with bytes close behind it is noise. So is a junk byte equal to the
// command of a send given up on, when the bytes behind it do not make its packet, and "F3 04",
// which claims a packet that the reply behind it makes invalid. Junk costs no retry: the reply
// behind it is taken in the same attempt.
TEST_F(LateReplyTest, RefusalsAreLoneBytesAndJunkCostsNoRetry) {
    port.silentNext();
    port.replyNext(frameReply(0x52, {1}));
    Bytes block52{0x52};
    ASSERT_TRUE(link.TransactPacket(block52, false));
    for (std::uint8_t refusal : {std::uint8_t{0xFF}, std::uint8_t{'R'}}) {
        const auto writesBefore = port.writes().size();
        port.replyNext(Bytes{refusal}, 5);
        Bytes write{0x86, 1, 2, 3};
        EXPECT_FALSE(link.TransactPacket(write, false));
        EXPECT_EQ(port.writes().size(), writesBefore + 1);
    }
    EXPECT_EQ(link.counters().refusals, 2u);

    readNameLate();
    clock.advanceMs(120);  // the second name came at 251 ms; 0xF3 is still owed
    link.ComFlush();
    const Bytes block = frameReply(0x8B, {7});
    const auto writesBefore = port.writes().size();
    for (const Bytes& junk : {Bytes{0xF3}, Bytes{0xFF}, Bytes{'R'}, Bytes{0xF3, 0x04}}) {
        port.replyNext({{2, junk}, {2.3, block}});
        Bytes request{0x8B};
        ASSERT_TRUE(link.TransactPacket(request, false));
        EXPECT_EQ(request, block);
    }
    EXPECT_EQ(port.writes().size(), writesBefore + 4);
    EXPECT_EQ(link.counters().refusals, 2u);
    EXPECT_EQ(link.counters().noiseBytes, 5u);
}

// A whole packet of another request that is already here is skipped, even one of a request this
// link never sent (an earlier run's). Only for a send given up on is a packet still arriving
// waited for; otherwise, and once the allowances of a whole transaction have passed, its bytes
// are noise as they always were.
TEST_F(LateReplyTest, OnlyAReplyOwedIsWaitedForWhole) {
    port.replyNext({{1, frameReply(0xF3, {0x41})}, {2, version}});
    Bytes request{0xF5};
    ASSERT_TRUE(link.TransactPacket(request, false));
    EXPECT_EQ(link.counters().lateReplies, 1u);
    EXPECT_EQ(link.counters().noiseBytes, 0u);

    const Bytes owed = frameReply(0x8B, {7});  // 8B 03 07 6A, split in time below
    auto splitOwedThenVersion = [&] {
        port.replyNext({{1, {owed[0], owed[1]}}, {3, {owed[2], owed[3]}}, {4, version}});
        request = {0xF5};
        ASSERT_TRUE(link.TransactPacket(request, false));
        EXPECT_EQ(request, version);
    };
    splitOwedThenVersion();
    EXPECT_EQ(link.counters().noiseBytes, 4u);

    port.silentNext();  // 0x8B given up on once
    port.replyNext(owed);
    Bytes block{0x8B};
    ASSERT_TRUE(link.TransactPacket(block, false));
    splitOwedThenVersion();
    EXPECT_EQ(link.counters().lateReplies, 2u);
    EXPECT_EQ(link.counters().noiseBytes, 4u);

    clock.advanceMs(1000);
    splitOwedThenVersion();
    EXPECT_EQ(link.counters().noiseBytes, 8u);
    EXPECT_EQ(link.counters().lateReplies, 2u);
}

// The wake-up waits 50 ms for its reply; a unit slower than that answers into the first
// transaction, which skips it.
TEST_F(LateReplyTest, WakeUpReplyLaterThanItsWaitIsSkipped) {
    port.replyNext(name, 150);
    link.wakeUp();
    EXPECT_EQ(clock.tickMs(), 51);
    port.replyNext(version, 100);  // at 151 ms, just behind the name
    Bytes request{0xF5};
    ASSERT_TRUE(link.TransactPacket(request, false));
    EXPECT_EQ(request, version);
    EXPECT_EQ(port.writes().size(), 2u);
    EXPECT_EQ(link.counters().lateReplies, 1u);
}

// A reply to a request of an earlier run (killed in the middle of a transaction) may come just
// before the wake-up's own: it is not taken for the wake-up's reply.
TEST_F(LateReplyTest, WakeUpWaitsForItsOwnReplyPastAStaleOne) {
    port.deliverAt(1, frameReply(0x86, bytesFromText("RRRR")));
    port.replyNext(name, 30);
    link.wakeUp();
    EXPECT_EQ(clock.tickMs(), 30);
    port.replyNext(version, 5);
    Bytes request{0xF5};
    ASSERT_TRUE(link.TransactPacket(request, false));
    EXPECT_EQ(request, version);

    // Its own reply later than the wait: still skipped when it comes.
    port.deliverAt(clock.tickMs() + 5.0, frameReply(0x86, bytesFromText("RRRR")));
    port.replyNext(name, 120);
    link.wakeUp();
    port.replyNext(version, 90);  // behind the name
    request = {0xF5};
    ASSERT_TRUE(link.TransactPacket(request, false));
    EXPECT_EQ(request, version);
    EXPECT_EQ(link.counters().lateReplies, 1u);
}

}  // namespace
}  // namespace tunalyx

namespace tunalyx {
namespace {

// Read once from the store: its numbers by the leading-number rule, defaults for what is no
// number, and hand-edited values held to what a link can use.
TEST(LinkSettingsTest, ReadFromTheStoreAndHeldToWhatALinkCanUse) {
    MemorySettingsStore store;
    store.setValue("ComTimeOutTicks", " 250");
    store.setValue("ComRetries", "zero");
    EXPECT_EQ(LinkSettings::fromStore(store).comTimeOutTicks, 250);
    EXPECT_EQ(LinkSettings::fromStore(store).comRetries, 3);
    store.setValue("ComRetries", "2147483647");
    store.setValue("ComTimeOutTicks", "-5");
    const LinkSettings s = LinkSettings::fromStore(store);
    EXPECT_EQ(s.comRetries, 100);
    EXPECT_EQ(s.comTimeOutTicks, 1);
}

}  // namespace
}  // namespace tunalyx
