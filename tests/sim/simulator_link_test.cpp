#include <gtest/gtest.h>

#include <utility>

#include "link/packet.h"
#include "link/packet_link.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"

namespace tunalyx {
namespace {

// The faults other tests inject reach the link as a real line's would.
TEST(SimulatorLink, LineFaultsAreRecoveredByRetries) {
    ManualClock clock;
    test::RecordingPrompts prompts;
    LineFaults faults;
    faults.dropReplyTo = {1};
    faults.corruptChecksumOf = {2};
    InProcessSimulator sim(SimUnitKind::Det1_501, clock, std::move(faults));
    ASSERT_TRUE(sim.port().open());
    PacketLink link(sim.port(), clock, prompts);
    Bytes slot;
    ASSERT_TRUE(link.ReadPacketData(0x8B, 12, slot));
    EXPECT_EQ(sim.line().requestCount(), 3u);
    EXPECT_EQ(link.counters().timeouts, 1u);
    EXPECT_EQ(link.counters().checksumErrors, 1u);
}

// The pseudo-terminal hands requests over in pieces of any size.
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

// The command line's --fault options, which the end-to-end tests use.
TEST(SimulatorFaultOptions, ParsedFromTheCommandLineForm) {
    SimulatedEcu ecu(SimUnitKind::Det1_501);
    LineFaults faults;
    for (const char* option : {"refuse=0x86:R", "drop=3", "delay=20"})
        EXPECT_EQ(applyFaultOption(option, faults, ecu), "") << option;
    EXPECT_TRUE(faults.dropReplyTo.count(3));
    EXPECT_EQ(faults.replyDelayMicros, 20000);
    EXPECT_EQ(ecu.handleRequest(Bytes{0x86, 1}, 0), Bytes{'R'});
    for (const char* bad : {"refuse=0x186", "refuse=0x86:X", "melt=1", "drop"})
        EXPECT_NE(applyFaultOption(bad, faults, ecu), "") << bad;
}

}  // namespace
}  // namespace tunalyx
