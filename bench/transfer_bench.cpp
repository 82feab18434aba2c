// Read All and Write All against the simulated unit sending at the real 57600 baud: wall time
// against the wire time of the bytes exchanged (10 bits a byte) plus the unit's own turnaround,
// and what reading back every block written adds to Write All.
#include <sys/prctl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "quiet_prompts.h"

#include "counting_serial_port.h"
#include "session/session.h"
#include "sim/in_process_simulator.h"
#include "transfer/transfer_operations.h"

using namespace tunalyx;

namespace {

struct Measured {
    double wallMs;
    std::uint64_t bytes;  // both directions
};

Measured measure(const char* name, SimUnitKind kind, double turnaroundMs, bool writeAll,
                 bool verifyWrites = true) {
    SteadyClock clock;
    QuietPrompts prompts;
    LineFaults faults;
    faults.pacing = true;
    faults.replyDelayMicros = static_cast<std::int64_t>(turnaroundMs * 1000);
    InProcessSimulator sim(kind, clock, faults);
    (void)sim.port().open();
    CountingSerialPort port(sim.port());
    Session session(port, clock, prompts);
    session.maps.GridInit();
    TransferOperations transfers(session);
    if (writeAll) transfers.cmdReadAll_Click();  // the image to write back
    transfers.setVerifyWrites(verifyWrites);

    // The median of five runs, so that one run the machine delayed does not speak for all.
    constexpr int kRuns = 5;
    std::vector<double> walls;
    std::uint64_t bytes = 0, requests = 0;
    for (int run = 0; run < kRuns; ++run) {
        const std::uint64_t requestsBefore = sim.line().requestCount();
        const std::uint64_t w0 = port.bytesWritten(), r0 = port.bytesRead();
        const std::int64_t t0 = clock.nowMicros();
        if (writeAll)
            transfers.cmdWriteAll_Click();
        else
            transfers.cmdReadAll_Click();
        walls.push_back(static_cast<double>(clock.nowMicros() - t0) / 1000.0);
        bytes = port.bytesWritten() - w0 + port.bytesRead() - r0;
        requests = sim.line().requestCount() - requestsBefore;
    }
    std::sort(walls.begin(), walls.end());
    const double wallMs = walls[kRuns / 2];
    const double wireMs = static_cast<double>(bytes) * 10.0 / 57600.0 * 1000.0;
    const double expectedMs = wireMs + static_cast<double>(requests) * turnaroundMs;
    std::printf(
        "%-34s %5llu bytes %4llu packets  median wall %7.1f ms  wire+turnaround %7.1f ms  ratio "
        "%.3f\n",
        name, static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(requests),
        wallMs, expectedMs, wallMs / expectedMs);
    return {wallMs, bytes};
}

void readBackCost(const char* name, SimUnitKind kind) {
    const Measured trusted = measure("  without the read-back", kind, 0.0, true, false);
    const Measured verified = measure("  with the read-back", kind, 0.0, true);
    std::printf("  %s: read-back adds %.0f %% time, %.0f %% bytes\n", name,
                100.0 * (verified.wallMs - trusted.wallMs) / trusted.wallMs,
                100.0 * static_cast<double>(verified.bytes - trusted.bytes) /
                    static_cast<double>(trusted.bytes));
}

}  // namespace

int main() {
    // The in-process line sleeps until each byte is due; the kernel's default timer slack
    // (50 us a wake) would otherwise be measured as if it were the link's own overhead.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    measure("Read All, family 5", SimUnitKind::Det1_501, 0.0, false);
    measure("Read All, family 5, 1 ms turnaround", SimUnitKind::Det1_501, 1.0, false);
    std::printf("Write All, family 5\n");
    readBackCost("Write All, family 5", SimUnitKind::Det1_501);
    measure("Read All, T2-D", SimUnitKind::T2D_511A, 0.0, false);
    std::printf("Write All, T2-D\n");
    readBackCost("Write All, T2-D", SimUnitKind::T2D_511A);
    return 0;
}
