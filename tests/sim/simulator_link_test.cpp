#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "link/packet.h"
#include "link/packet_link.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "versions/unit_identity.h"

namespace tunalyx {
namespace {

class SimulatorLinkTest : public ::testing::Test {
protected:
    void SetUp() override { use(SimUnitKind::Det1_501); }
    void use(SimUnitKind kind, LineFaults faults = {}) {
        link.reset();
        sim = std::make_unique<InProcessSimulator>(kind, clock, std::move(faults));
        ASSERT_TRUE(sim->port().open());
        link = std::make_unique<PacketLink>(sim->port(), clock, prompts);
    }

    ManualClock clock;
    test::RecordingPrompts prompts;
    std::unique_ptr<InProcessSimulator> sim;
    std::unique_ptr<PacketLink> link;
};

TEST_F(SimulatorLinkTest, EachVersionIdentifiesItself) {
    struct Expect {
        SimUnitKind kind;
        const char* name;
        const char* version;
        bool older;
        const char* key;
    };
    for (const Expect& e :
         {Expect{SimUnitKind::Det1_501, "SR20DET1", "5.01 ", false, "DET15.01"},
          Expect{SimUnitKind::Det2_312A, "SR20DET2", "3.12A", false, "DET23.12"},
          Expect{SimUnitKind::Det1_170B, "SR20DET1", "1.70B", true, "DET11.70"},
          Expect{SimUnitKind::T2D_511A, "SR20T2-D", "5.11A", false, "T2-D5.11"},
          Expect{SimUnitKind::Unsupported, "SR20DET2", "4.07 ", false, "DET24.07"}}) {
        use(e.kind);
        const auto id = readUnitIdentity(*link);
        ASSERT_TRUE(id) << e.name;
        EXPECT_EQ(id->programName, e.name);
        EXPECT_EQ(id->versionText, e.version);
        EXPECT_EQ(id->olderUnit, e.older);
        EXPECT_EQ(id->key(), e.key);
        EXPECT_EQ(id->family().has_value(), e.kind != SimUnitKind::Unsupported);
    }
    EXPECT_TRUE(prompts.messages().empty());
}

TEST_F(SimulatorLinkTest, OlderUnitDoesNotAnswerTheNewIdentityBlocks) {
    use(SimUnitKind::Det1_170B);
    Bytes probe{0xF3};
    EXPECT_FALSE(link->TransactPacket(probe, false));
    EXPECT_EQ(clock.tickMs(), 101 + 201 + 301 + 401);
    Bytes name;
    ASSERT_TRUE(link->ReadPacketData(0x6B, 8, name));
    EXPECT_EQ(textFromBytes(name), "SR20DET1");
}

TEST_F(SimulatorLinkTest, EveryReadAllBlockReadsAtItsListedLength) {
    for (SimUnitKind kind : {SimUnitKind::Det1_501, SimUnitKind::Det2_312A, SimUnitKind::Det1_170B,
                             SimUnitKind::T2D_511A}) {
        use(kind);
        for (const BlockSpec& b : sim->ecu().layout().readAll) {
            Bytes slot;
            EXPECT_TRUE(link->ReadPacketData(b.command, b.length, slot)) << int(b.command);
        }
    }
    EXPECT_TRUE(prompts.messages().empty());
}

TEST_F(SimulatorLinkTest, BlockWriteIsKeptAndReadBack) {
    const Bytes data{0, 7, 14, 21, 28, 35, 42, 49, 56, 63, 70, 77};
    Bytes request(1 + data.size(), 0x8B);
    std::copy(data.begin(), data.end(), request.begin() + 1);
    ASSERT_TRUE(link->TransactPacket(request, true));
    EXPECT_EQ(request, frameReply(0x8B, {}));
    Bytes slot;
    ASSERT_TRUE(link->ReadPacketData(0x8B, 12, slot));
    EXPECT_EQ(slot, data);
}

TEST_F(SimulatorLinkTest, RefusedWriteFailsAtOnceAndChangesNothing) {
    sim->ecu().refuseWrites(0x86, 'R');
    const Bytes before = sim->ecu().blocks()[0x86];
    Bytes request{0x86};
    request.insert(request.end(), 100, 0x80);
    EXPECT_FALSE(link->TransactPacket(request, false));
    EXPECT_EQ(sim->ecu().requests().size(), 1u);  // no retry after a refusal
    EXPECT_EQ(sim->ecu().blocks()[0x86], before);
}

TEST_F(SimulatorLinkTest, CellWriteChangesExactlyOneCell) {
    sim->ecu().refuseWrites(0x86);  // block writes refused; cell writes still go through
    const auto before = sim->ecu().blocks();
    // Cell index 123 = column 7, row 4 of the injection map: byte 24 of the second block.
    Bytes request{0x85, 123, 0, 0x99};
    ASSERT_TRUE(link->TransactPacket(request, true));
    auto expected = before;
    expected[0x87][23] = 0x99;
    EXPECT_EQ(sim->ecu().blocks(), expected);
}

TEST_F(SimulatorLinkTest, BaseMapCellsAreTwoBytesWide) {
    use(SimUnitKind::T2D_511A);
    Bytes request{0xAF, 0x8F, 0x01, 0x34, 0x12};  // cell 399: the last two bytes of 0xB7
    ASSERT_TRUE(link->TransactPacket(request, true));
    EXPECT_EQ(sim->ecu().blocks()[0xB7][98], 0x34);
    EXPECT_EQ(sim->ecu().blocks()[0xB7][99], 0x12);
}

TEST_F(SimulatorLinkTest, InitialiseRestoresTheDefaults) {
    const auto defaults = sim->ecu().blocks();
    Bytes write{0x8C, 1, 2};
    ASSERT_TRUE(link->TransactPacket(write, true));
    EXPECT_NE(sim->ecu().blocks(), defaults);
    Bytes init{0xF6, 0x00};
    ASSERT_TRUE(link->TransactPacket(init, true));
    EXPECT_EQ(sim->ecu().blocks(), defaults);
}

TEST_F(SimulatorLinkTest, AnyCommandByteIsAnsweredForTheFullScan) {
    std::int32_t ticks = 100;
    for (int command = 0; command < 256; ++command) {
        Bytes request{static_cast<std::uint8_t>(command)};
        EXPECT_TRUE(link->TransactPacket(request, false, ticks)) << command;
    }
}

TEST_F(SimulatorLinkTest, LiveDataBlocksHaveTheirLengths) {
    for (SimUnitKind kind : {SimUnitKind::Det1_501, SimUnitKind::Det2_312A}) {
        use(kind);
        const FamilyLayout& layout = sim->ecu().layout();
        Bytes data;
        EXPECT_TRUE(link->ReadPacketData(kAdvancedLiveCmd, 30, data));
        EXPECT_TRUE(link->ReadPacketData(layout.basicLiveCmd, 20, data));
        EXPECT_TRUE(link->ReadPacketData(layout.sensorLiveCmd, 18, data));
        EXPECT_TRUE(link->ReadPacketData(layout.mapLiveCmd, 2, data));
        EXPECT_TRUE(link->ReadPacketData(kAuxLiveCmd, 4, data));
    }
}

TEST_F(SimulatorLinkTest, LineFaultsAreRecoveredByRetries) {
    LineFaults faults;
    faults.dropReplyTo = {1};
    faults.corruptChecksumOf = {2};
    faults.noiseBeforeReply = 4;
    use(SimUnitKind::Det1_501, faults);
    Bytes slot;
    ASSERT_TRUE(link->ReadPacketData(0x8B, 12, slot));
    EXPECT_EQ(sim->line().requestCount(), 3u);
    EXPECT_EQ(link->counters().timeouts, 1u);
    EXPECT_EQ(link->counters().checksumErrors, 1u);
    EXPECT_EQ(link->counters().noiseBytes, 8u);
}

TEST_F(SimulatorLinkTest, PacedRepliesTakeTheirWireTime) {
    LineFaults faults;
    faults.pacing = true;
    faults.replyDelayMicros = 1000;
    use(SimUnitKind::Det1_501, faults);
    Bytes slot;
    ASSERT_TRUE(link->ReadPacketData(0x81, 100, slot));
    // 3 request bytes, the unit's 1 ms, then 103 reply bytes at 10 bits each.
    const double wire = (3 + 103) * 10.0 / 57600.0 * 1e6 + 1000;
    EXPECT_NEAR(static_cast<double>(clock.nowMicros()), wire, 2.0);
}

TEST_F(SimulatorLinkTest, DelayedReplyBeyondTheAllowanceIsRetried) {
    LineFaults faults;
    faults.replyDelayMicros = 150'000;  // too slow for attempt 1, fine for attempt 2
    use(SimUnitKind::Det1_501, faults);
    Bytes slot;
    ASSERT_TRUE(link->ReadPacketData(0x8C, 2, slot));
    EXPECT_EQ(sim->line().requestCount(), 2u);
}

TEST(SimulatorLineParse, RequestsSplitAtAnyOffsetAreReassembled) {
    const Bytes frame = *framePacket({0x8B});
    for (std::size_t split = 0; split <= frame.size(); ++split) {
        SimulatedEcu ecu(SimUnitKind::Det1_501);
        SimulatorLine line(ecu);
        TimedInput toPc;
        line.receive(Bytes{0x8B, 0x02, 0x00}, 0, toPc);  // a bad checksum first: skipped
        line.receive(Bytes(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(split)), 0,
                     toPc);
        line.receive(Bytes(frame.begin() + static_cast<std::ptrdiff_t>(split), frame.end()), 0,
                     toPc);
        EXPECT_EQ(line.requestCount(), 1u) << split;
        EXPECT_EQ(line.rejectedFrames(), 1u) << split;
        EXPECT_EQ(toPc.arrived(0), 12u + 3u) << split;
    }
}

TEST(SimulatorFaultOptions, ParsedFromTheCommandLineForm) {
    SimulatedEcu ecu(SimUnitKind::Det1_501);
    LineFaults faults;
    EXPECT_EQ(applyFaultOption("refuse=0x86:R", faults, ecu), "");
    EXPECT_EQ(applyFaultOption("drop=3", faults, ecu), "");
    EXPECT_EQ(applyFaultOption("corrupt=2", faults, ecu), "");
    EXPECT_EQ(applyFaultOption("noise=5", faults, ecu), "");
    EXPECT_EQ(applyFaultOption("delay=20", faults, ecu), "");
    EXPECT_TRUE(faults.dropReplyTo.count(3));
    EXPECT_TRUE(faults.corruptChecksumOf.count(2));
    EXPECT_EQ(faults.noiseBeforeReply, 5);
    EXPECT_EQ(faults.replyDelayMicros, 20000);
    auto reply = ecu.handleRequest(Bytes{0x86, 1}, 0);
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, Bytes{'R'});
    EXPECT_NE(applyFaultOption("refuse=0x186", faults, ecu), "");
    EXPECT_NE(applyFaultOption("refuse=0x86:X", faults, ecu), "");
    EXPECT_NE(applyFaultOption("melt=1", faults, ecu), "");
    EXPECT_NE(applyFaultOption("drop", faults, ecu), "");
}

}  // namespace
}  // namespace tunalyx
