// The monitor's polling against the simulated unit sending at the real 57600 baud: samples a
// second against what the wire allows (the request, its reply, 10 bits a byte).
#include <sys/prctl.h>

#include <cstdio>
#include <memory>

#include "paced_unit.h"

#include "monitor/live_run.h"

using namespace tunalyx;

namespace {

constexpr double kSeconds = 10;

void measure(const char* name, const std::array<bool, kTraceGroupCount>& include) {
    PacedUnit unit;
    Session& session = unit.session;
    SteadyClock& clock = unit.clock;
    NoFileWriter files;
    LiveRun run(session, session, clock, files, std::string());
    StdPollingThread thread;
    LiveRunPlan plan;
    plan.include = include;
    plan.journal = false;
    plan.mostSeconds = static_cast<long>(kSeconds);
    const std::int64_t t0 = clock.nowMicros();
    if (!run.start(plan, thread)) {
        std::printf("%s: the run did not start\n", name);
        return;
    }
    run.presentUntilOver({});
    const double seconds = static_cast<double>(clock.nowMicros() - t0) / 1e6;
    const int samples = run.log().sampleCount();
    const double rate = samples / seconds;
    const double limit = liveWireLimit(include);
    std::printf("%-22s %6d samples in %5.2f s  %6.1f/s  wire limit %6.1f/s  ratio %.3f\n", name,
                samples, seconds, rate, limit, rate / limit);
}

}  // namespace

int main() {
    // The in-process line sleeps until each byte is due; the kernel's default timer slack would
    // otherwise be measured as the monitor's own cost.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    measure("Advanced only", {false, false, false, false, true});
    measure("All five groups", {true, true, true, true, true});
    return 0;
}
