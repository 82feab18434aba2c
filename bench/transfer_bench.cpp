// Read All and Write All against the simulated unit sending at the real 57600 baud: wall time
// against the wire time of the bytes exchanged (10 bits a byte) plus the unit's own turnaround.
#include <cstdio>

#include "quiet_prompts.h"

#include "app/session.h"
#include "counting_serial_port.h"
#include "sim/in_process_simulator.h"
#include "transfer/transfer_operations.h"

using namespace tunalyx;

namespace {

void measure(const char* name, SimUnitKind kind, double turnaroundMs, bool writeAll) {
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

    const std::uint64_t requestsBefore = sim.line().requestCount();
    const std::uint64_t w0 = port.bytesWritten(), r0 = port.bytesRead();
    const std::int64_t t0 = clock.nowMicros();
    if (writeAll)
        transfers.cmdWriteAll_Click();
    else
        transfers.cmdReadAll_Click();
    const double wallMs = static_cast<double>(clock.nowMicros() - t0) / 1000.0;
    const std::uint64_t bytes = port.bytesWritten() - w0 + port.bytesRead() - r0;
    const std::uint64_t requests = sim.line().requestCount() - requestsBefore;
    const double wireMs = static_cast<double>(bytes) * 10.0 / 57600.0 * 1000.0;
    const double expectedMs = wireMs + static_cast<double>(requests) * turnaroundMs;
    std::printf(
        "%-34s %5llu bytes %4llu packets  wall %8.1f ms  wire+turnaround %8.1f ms  ratio %.3f\n",
        name, static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(requests),
        wallMs, expectedMs, wallMs / expectedMs);
}

}  // namespace

int main() {
    measure("Read All, family 5", SimUnitKind::Det1_501, 0.0, false);
    measure("Read All, family 5, 1 ms turnaround", SimUnitKind::Det1_501, 1.0, false);
    measure("Write All, family 5", SimUnitKind::Det1_501, 0.0, true);
    measure("Read All, T2-D", SimUnitKind::T2D_511A, 0.0, false);
    measure("Write All, T2-D", SimUnitKind::T2D_511A, 0.0, true);
    return 0;
}
