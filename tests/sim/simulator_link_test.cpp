#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

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
        const char *name, *version;
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

    // The older unit leaves the newer identity block unanswered: every attempt times out.
    use(SimUnitKind::Det1_170B);
    const auto start = clock.nowMicros();
    Bytes probe{0xF3};
    EXPECT_FALSE(link->TransactPacket(probe, false));
    EXPECT_EQ((clock.nowMicros() - start) / 1000, 101 + 201 + 301 + 401);
}

TEST_F(SimulatorLinkTest, EveryReadAllAndLiveBlockReadsAtItsLength) {
    for (SimUnitKind kind : {SimUnitKind::Det1_501, SimUnitKind::Det2_312A, SimUnitKind::Det1_170B,
                             SimUnitKind::T2D_511A}) {
        use(kind);
        const FamilyLayout& layout = sim->ecu().layout();
        std::vector<ListedBlock> blocks{{kAdvancedLiveCmd, 30},
                                        {layout.basicLiveCmd, 20},
                                        {layout.sensorLiveCmd, 18},
                                        {layout.mapLiveCmd, 2},
                                        {kAuxLiveCmd, 4}};
        blocks.insert(blocks.end(), layout.readAll.begin(), layout.readAll.end());
        for (const ListedBlock& b : blocks) {
            Bytes slot;
            EXPECT_TRUE(link->ReadPacketData(b.command, b.length, slot)) << int(b.command);
        }
    }
    EXPECT_TRUE(prompts.messages().empty());
}

TEST_F(SimulatorLinkTest, BlockWriteIsReadBackUntilInitialiseRestoresTheDefaults) {
    const auto defaults = sim->ecu().blocks();
    const Bytes data{0, 7, 14, 21, 28, 35, 42, 49, 56, 63, 70, 77};
    Bytes request(1 + data.size(), 0x8B);
    std::copy(data.begin(), data.end(), request.begin() + 1);
    ASSERT_TRUE(link->TransactPacket(request, true));
    EXPECT_EQ(request, frameReply(0x8B, {}));
    Bytes slot;
    ASSERT_TRUE(link->ReadPacketData(0x8B, 12, slot));
    EXPECT_EQ(slot, data);
    Bytes init{0xF6, 0x00};
    ASSERT_TRUE(link->TransactPacket(init, true));
    EXPECT_EQ(sim->ecu().blocks(), defaults);
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
    struct Case {
        SimUnitKind kind;
        std::uint8_t map;
        Bytes request;
        std::uint8_t block;
        std::size_t at;
    };
    for (const Case& c : {
             // Cell 123 = column 7, row 4 of the injection map: byte 24 of its second block.
             Case{SimUnitKind::Det1_501, 0x86, {0x85, 123, 0, 0x99}, 0x87, 23},
             // Cell 399 of the base map, two bytes wide: the last two bytes of 0xB7.
             Case{SimUnitKind::T2D_511A, kBaseMapBlock, {0xAF, 0x8F, 0x01, 0x34, 0x12}, 0xB7, 98},
         }) {
        use(c.kind);
        sim->ecu().refuseWrites(c.map);  // block writes refused; cell writes still go through
        auto expected = sim->ecu().blocks();
        std::copy(c.request.begin() + 3, c.request.end(), expected[c.block].begin() + c.at);
        Bytes request = c.request;
        ASSERT_TRUE(link->TransactPacket(request, true));
        EXPECT_EQ(sim->ecu().blocks(), expected) << int(c.map);
    }
}

TEST_F(SimulatorLinkTest, AnyCommandByteIsAnsweredForTheFullScan) {
    std::int32_t ticks = 100;
    for (int command = 0; command < 256; ++command) {
        Bytes request{static_cast<std::uint8_t>(command)};
        EXPECT_TRUE(link->TransactPacket(request, false, ticks)) << command;
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

    // A reply too slow for the first attempt's allowance is taken on the second.
    LineFaults slow;
    slow.replyDelayMicros = 150'000;
    use(SimUnitKind::Det1_501, slow);
    ASSERT_TRUE(link->ReadPacketData(0x8C, 2, slot));
    EXPECT_EQ(sim->line().requestCount(), 2u);
}

TEST_F(SimulatorLinkTest, PacedRepliesTakeTheirWireTime) {
    LineFaults paced;
    paced.pacing = true;
    paced.replyDelayMicros = 1000;
    use(SimUnitKind::Det1_501, paced);
    Bytes slot;
    ASSERT_TRUE(link->ReadPacketData(0x81, 100, slot));
    // 3 request bytes, the unit's 1 ms, then 103 reply bytes at 10 bits each.
    const double wire = (3 + 103) * 10.0 / 57600.0 * 1e6 + 1000;
    EXPECT_NEAR(static_cast<double>(clock.nowMicros()), wire, 2.0);
}

TEST(SimulatorLineParse, RequestsSplitAtAnyOffsetAreReassembled) {
    const Bytes frame = *framePacket({0x8B});
    for (std::size_t split = 0; split <= frame.size(); ++split) {
        SimulatedEcu ecu(SimUnitKind::Det1_501);
        SimulatorLine line(ecu);
        TimedInput toPc;
        const auto at = frame.begin() + static_cast<std::ptrdiff_t>(split);
        line.receive(Bytes{0x8B, 0x02, 0x00}, 0, toPc);  // a bad checksum first: skipped
        line.receive(Bytes(frame.begin(), at), 0, toPc);
        line.receive(Bytes(at, frame.end()), 0, toPc);
        EXPECT_EQ(line.requestCount(), 1u) << split;
        EXPECT_EQ(line.rejectedFrames(), 1u) << split;
        EXPECT_EQ(toPc.arrived(0), 12u + 3u) << split;
    }
}

TEST(SimulatorFaultOptions, ParsedFromTheCommandLineForm) {
    SimulatedEcu ecu(SimUnitKind::Det1_501);
    LineFaults faults;
    for (const char* option : {"refuse=0x86:R", "drop=3", "corrupt=2", "noise=5", "delay=20"})
        EXPECT_EQ(applyFaultOption(option, faults, ecu), "") << option;
    EXPECT_TRUE(faults.dropReplyTo.count(3));
    EXPECT_TRUE(faults.corruptChecksumOf.count(2));
    EXPECT_EQ(faults.noiseBeforeReply, 5);
    EXPECT_EQ(faults.replyDelayMicros, 20000);
    EXPECT_EQ(ecu.handleRequest(Bytes{0x86, 1}, 0), Bytes{'R'});
    for (const char* bad : {"refuse=0x186", "refuse=0x86:X", "melt=1", "drop"})
        EXPECT_NE(applyFaultOption(bad, faults, ecu), "") << bad;
}

}  // namespace
}  // namespace tunalyx
