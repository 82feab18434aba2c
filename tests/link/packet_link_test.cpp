#include <gtest/gtest.h>

#include <utility>

#include "link/packet.h"
#include "link/packet_link.h"
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
    EXPECT_EQ(port.flushes(), 3);  // flushed before each send
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

TEST_F(PacketLinkTest, NoiseThatOutlastsTheAllowanceCostsTheAttempt) {
    port.replyNext({{1, {0x00}}, {99, {0x8A}}});  // the length byte never comes
    port.replyNext(frameReply(0x8A, {9}));
    Bytes request{0x8A};
    ASSERT_TRUE(link.TransactPacket(request, true));
    EXPECT_EQ(request, frameReply(0x8A, {9}));
    EXPECT_EQ(port.writes().size(), 2u);
    EXPECT_DOUBLE_EQ(writeMs(1), 101);
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
    EXPECT_EQ(port.flushes(), 2);
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

TEST_F(PacketLinkTest, LateReplyIsTakenByTheAttemptWhoseAllowanceItFits) {
    port.silentNext();
    port.replyNext(frameReply(0x81, {7}), 199);  // attempt 2 allows 200 ms
    Bytes request{0x81};
    ASSERT_TRUE(link.TransactPacket(request, false));
    EXPECT_EQ(port.writes().size(), 2u);
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
    link.SendPacket({0xF3});  // ignored silently
    link.ComFlush();
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

TEST_F(PacketLinkTest, FlushDropsWhatHasArrivedButNotWhatIsStillComing) {
    port.deliverAt(0, {1, 2, 3});
    port.deliverAt(10, {4});
    link.ComFlush();
    EXPECT_EQ(*port.bytesAvailable(), 0u);
    clock.advanceMs(10);
    EXPECT_EQ(*port.bytesAvailable(), 1u);
}

// The wake-up's reply ("SR20DET1" holds an "R") arrives a few ms after the send; a transaction
// that flushed before it came would take that "R" for a refusal.
TEST_F(PacketLinkTest, WakeUpDiscardsItsLateReplyBeforeTheFirstTransaction) {
    port.replyNext(frameReply(0xF3, bytesFromText("SR20DET1")), 2.4);
    link.wakeUp();
    EXPECT_EQ(port.writes().at(0).bytes, (Bytes{0xF3, 0x02, 0x0A}));
    EXPECT_LT(clock.tickMs(), 10);  // settled as soon as the reply was complete
    port.replyNext(frameReply(0xF5, bytesFromText("5.01 ")), 2.4);
    Bytes request{0xF5};
    ASSERT_TRUE(link.TransactPacket(request, false));
    EXPECT_EQ(textFromBytes(request, 2, 5), "5.01 ");
}

}  // namespace
}  // namespace tunalyx
