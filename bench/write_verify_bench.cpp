// What reading back every written block costs: Write All with and without the read-back,
// against the simulated unit sending at the real 57600 baud.
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

struct WriteAllCost {
    double seconds;
    std::uint64_t bytes;  // both directions
    std::uint64_t packets;
};

WriteAllCost measure(SimUnitKind kind, bool verify) {
    SteadyClock clock;
    QuietPrompts prompts;
    LineFaults faults;
    faults.pacing = true;
    InProcessSimulator sim(kind, clock, faults);
    (void)sim.port().open();
    CountingSerialPort port(sim.port());
    Session session(port, clock, prompts);
    session.maps.GridInit();
    TransferOperations transfers(session);
    transfers.cmdReadAll_Click();  // the image to write back
    transfers.setVerifyWrites(verify);

    // The median of five runs, so that one run the machine delayed does not speak for all.
    constexpr int kRuns = 5;
    std::vector<double> seconds;
    WriteAllCost cost{};
    for (int run = 0; run < kRuns; ++run) {
        const std::uint64_t packets = sim.line().requestCount();
        const std::uint64_t bytes = port.bytesWritten() + port.bytesRead();
        const std::int64_t t0 = clock.nowMicros();
        if (!transfers.cmdWriteAll_Click()) std::printf("  Write All failed\n");
        seconds.push_back(static_cast<double>(clock.nowMicros() - t0) / 1e6);
        cost.bytes = port.bytesWritten() + port.bytesRead() - bytes;
        cost.packets = sim.line().requestCount() - packets;
    }
    std::sort(seconds.begin(), seconds.end());
    cost.seconds = seconds[kRuns / 2];
    return cost;
}

void compare(const char* name, SimUnitKind kind) {
    const WriteAllCost plain = measure(kind, false);
    const WriteAllCost verified = measure(kind, true);
    for (const auto& [label, c] : {std::pair{"unverified", plain}, std::pair{"verified", verified}})
        std::printf("Write All, %-9s %-10s %6.3f s %6llu bytes %4llu packets\n", name, label,
                    c.seconds, static_cast<unsigned long long>(c.bytes),
                    static_cast<unsigned long long>(c.packets));
    std::printf("Write All, %-9s read-back adds %5.1f %% time, %5.1f %% bytes\n", name,
                100.0 * (verified.seconds - plain.seconds) / plain.seconds,
                100.0 * static_cast<double>(verified.bytes - plain.bytes) /
                    static_cast<double>(plain.bytes));
}

}  // namespace

int main() {
    // The in-process line sleeps until each byte is due; the kernel's default timer slack
    // (50 us a wake) would otherwise be measured as if it were the link's own overhead.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    compare("family 5", SimUnitKind::Det1_501);
    compare("T2-D", SimUnitKind::T2D_511A);
    return 0;
}
