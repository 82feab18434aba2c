#include <gtest/gtest.h>

#include <utility>

#include "link/packet.h"
#include "link/packet_link.h"
#include "session/session.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "transfer/transfer_operations.h"

namespace tunalyx {
namespace {

// A unit that answers later than the first allowance is still read and written whole, at the
// real baud rate: each transaction's later attempts wait longer, the replies to the sends given
// up on are skipped, and a flush never cuts one of them in two (its tail, "R" and all, would end
// the next transaction as a refusal). Beyond the last attempt's allowance the link gives up.
TEST(SimulatorLink, LateUnitIsReadAndWrittenWholeWithinTheGrowingAllowances) {
    for (const int delayMs : {70, 90, 105, 120, 130, 350, 1100}) {
        SCOPED_TRACE(delayMs);
        ManualClock clock;
        test::RecordingPrompts prompts;
        LineFaults faults;
        faults.replyDelayMicros = std::int64_t{delayMs} * 1000;
        faults.pacing = true;
        InProcessSimulator sim(SimUnitKind::Det1_501, clock, std::move(faults));
        ASSERT_TRUE(sim.port().open());
        Session session(sim.port(), clock, prompts);
        session.maps.GridInit();
        session.link.wakeUp();
        TransferOperations ops(session);
        const bool read = ops.cmdReadAll_Click();
        if (delayMs > 1000) {
            EXPECT_FALSE(read);
            EXPECT_EQ(prompts.texts().at(0), kInterfaceNotResponding);
            continue;
        }
        ASSERT_TRUE(read);
        for (const ListedBlock& listed : session.layout.readAllList) {
            ASSERT_EQ(session.image[listed.command], sim.ecu().blocks()[listed.command])
                << int{listed.command};
        }
        // Every block goes back changed, so that the unit's memory shows each write took.
        for (const ListedBlock& listed : session.layout.writeAllList)
            session.image[listed.command].at(0) ^= 0x01;
        session.image[0x86].at(7) ^= 0x01;
        session.image[0x8B].at(0) -= 2;  // the rev limit lowered: a raise would be held back
        ASSERT_TRUE(ops.cmdWriteAll_Click());
        EXPECT_TRUE(prompts.texts().empty());
        EXPECT_EQ(session.link.counters().refusals, 0u);
        EXPECT_GT(session.link.counters().lateReplies + session.link.counters().timeouts, 0u);
        EXPECT_EQ(sim.ecu().blocks()[0x86], session.image[0x86]);
        for (const ListedBlock& listed : session.layout.writeAllList)
            EXPECT_EQ(sim.ecu().blocks()[listed.command].at(0), session.image[listed.command].at(0))
                << int{listed.command};
    }
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

// The pseudo-terminal server sleeps until the next reply byte is due. A byte that fell due while
// it was busy must not be passed over for the one after it: the last byte of a reply would then
// wait out the longest sleep, and a healthy line would look like a late unit.
TEST(SimulatorLineParse, TheServerNeverSleepsPastAByteDue) {
    TimedInput line;
    EXPECT_EQ(sleepBeforeNextByte(line, 0, 100'000), 100'000);
    line.schedule(10, {1});
    line.schedule(40, {2});
    EXPECT_EQ(sleepBeforeNextByte(line, 0, 100'000), 10);
    EXPECT_EQ(sleepBeforeNextByte(line, 15, 100'000), 0);  // due at 10, not yet sent
    EXPECT_EQ(line.take(1, 15), Bytes{1});
    EXPECT_EQ(sleepBeforeNextByte(line, 15, 100'000), 25);
    EXPECT_EQ(sleepBeforeNextByte(line, 45, 100'000), 0);  // the last byte, due and still here
}

// The command line's --fault options, which the end-to-end tests use.
TEST(SimulatorFaultOptions, ParsedFromTheCommandLineForm) {
    SimulatedEcu ecu(SimUnitKind::Det1_501);
    LineFaults faults;
    for (const char* option : {"refuse=0x86:R", "drop=3", "delay=20", "pull=40", "stray=0x52"})
        EXPECT_EQ(applyFaultOption(option, faults, ecu), "") << option;
    EXPECT_TRUE(faults.dropReplyTo.count(3));
    EXPECT_EQ(faults.replyDelayMicros, 20000);  // milliseconds of turnaround
    EXPECT_EQ(faults.cablePulledAfter, 40u);
    EXPECT_EQ(faults.strayBeforeReply, std::uint8_t{'R'});
    EXPECT_EQ(ecu.handleRequest(Bytes{0x86, 1}, 0), Bytes{'R'});
    for (const char* bad :
         {"refuse=0x186", "refuse=0x86:X", "melt=1", "drop", "pull=0", "stray=256"})
        EXPECT_NE(applyFaultOption(bad, faults, ecu), "") << bad;
}

// A unit serving for days keeps its newest requests for the tests to look at, not all of them.
TEST(SimulatedEcu, RequestLogKeepsTheNewestAndStaysItsSize) {
    SimulatedEcu ecu(SimUnitKind::Det1_501);
    const std::size_t most = 2 * SimulatedEcu::kKeptRequests;
    for (std::size_t i = 0; i < 3 * most; ++i)
        (void)ecu.handleRequest({static_cast<std::uint8_t>(i % 200)}, 0);
    EXPECT_LE(ecu.requests().size(), most);
    EXPECT_GE(ecu.requests().size(), SimulatedEcu::kKeptRequests);
    (void)ecu.handleRequest({0xF3}, 0);
    EXPECT_EQ(ecu.requests().back(), Bytes{0xF3});
    EXPECT_EQ(ecu.requests()[ecu.requests().size() - 2],
              Bytes{static_cast<std::uint8_t>((3 * most - 1) % 200)});
}

}  // namespace
}  // namespace tunalyx
