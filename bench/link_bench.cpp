// Wall time and CPU time of the packet link's waits against the in-process simulator on the
// real clock. The waits must block, not spin: CPU stays a small fraction of wall time.
#include <sys/resource.h>

#include <cstdio>

#include "quiet_prompts.h"

#include "link/packet_link.h"
#include "sim/in_process_simulator.h"

using namespace tunalyx;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Measure {
    double wallMs;
    double cpuMs;
};

template <typename F>
Measure measure(SteadyClock& clock, F&& body) {
    const double cpu0 = cpuSeconds();
    const auto t0 = clock.nowMicros();
    body();
    return {static_cast<double>(clock.nowMicros() - t0) / 1000.0, (cpuSeconds() - cpu0) * 1000.0};
}

void report(const char* what, int runs, const Measure& m, double expectedMs) {
    std::printf(
        "%-44s %3d runs  wall %8.2f ms/run (expected %7.2f)  cpu %6.3f ms/run  cpu/wall %5.2f %%\n",
        what, runs, m.wallMs / runs, expectedMs, m.cpuMs / runs, 100.0 * m.cpuMs / m.wallMs);
}

}  // namespace

int main() {
    SteadyClock clock;
    QuietPrompts prompts;

    {
        // The older unit never answers 0xF3: four attempts of 100, 200, 300 and 400 ms.
        InProcessSimulator sim(SimUnitKind::Det1_170B, clock);
        (void)sim.port().open();
        PacketLink link(sim.port(), clock, prompts);
        const int runs = 3;
        const Measure m = measure(clock, [&] {
            for (int i = 0; i < runs; ++i) {
                Bytes request{0xF3};
                if (link.TransactPacket(request, false)) std::puts("unexpected reply");
            }
        });
        report("failed transaction (no reply, 4 attempts)", runs, m, 101 + 201 + 301 + 401);
    }
    {
        LineFaults faults;
        faults.pacing = true;
        InProcessSimulator sim(SimUnitKind::Det1_501, clock, faults);
        (void)sim.port().open();
        PacketLink link(sim.port(), clock, prompts);
        const int runs = 100;
        const double wireMs = (3 + 103) * 10.0 / 57600.0 * 1000.0;
        const Measure m = measure(clock, [&] {
            for (int i = 0; i < runs; ++i) {
                Bytes slot;
                if (!link.ReadPacketData(0x81, 100, slot)) std::puts("read failed");
            }
        });
        report("100-byte block read, paced at 57600 baud", runs, m, wireMs);
    }
    return 0;
}
