// Two simulated drives of pulls, each pull of one lined up with the same pull of the other by
// findPullStart: how many samples the shift found is off the drives' own shift.
//
// The truth comes from the drive script itself (the rpm it commands, found to a microsecond),
// not from the log. Both logs start from the same start-up exchange on a clock that jumps, so the
// drive-to-log offset is the same in both and drops out of the shift.
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "auxinputs/aux_calibration.h"
#include "charts/log_overlay.h"
#include "log_analysis_parts.h"
#include "paced_unit.h"
#include "ports/memory_settings_store.h"
#include "quiet_prompts.h"
#include "sim/default_blocks.h"
#include "sim/drive_cycle.h"
#include "sim/fast_drive.h"

namespace tunalyx::bench {

namespace {

constexpr double kPullRpm = 4000;
constexpr long kDriveSeconds = 120;
constexpr std::size_t kPulls = 4;
constexpr LayoutFamily kFamily = LayoutFamily::Family5;

std::unique_ptr<LogStore> driveLog(std::uint64_t seed) {
    static QuietPrompts prompts;
    FastDrive d;
    d.engine.drive = DriveKind::Pulls;
    d.engine.seed = seed;
    d.seconds = kDriveSeconds;
    d.include[kGroupAdvanced] = true;
    d.include[kGroupAux] = true;
    d.aux = auxCalibrationOf(loadAuxSettings(MemorySettingsStore{}));
    struct Keep final : LiveConsumer {
        void logSaved(const SavedLog& saved) override {
            if (log) return;  // the first part holds the pulls measured
            log = std::make_unique<LogStore>();
            log->copySamples(saved.log, saved.log.sampleCount());
            log->LogLast = saved.log.LogLast;
            log->IncludeGroup = saved.log.IncludeGroup;
        }
        std::unique_ptr<LogStore> log;
    } keep;
    NoFileWriter files;
    FastDriveUnit unit(defaultBlocks(simUnit(simUnitOf(kFamily))), kFamily, d, prompts, files);
    unit.run().addConsumer(&keep);
    if (!unit.start("align.txt")) return nullptr;
    unit.run().presentUntilOver({});
    return std::move(keep.log);
}

// The drive's own times of its wide-open rises through the rpm.
std::vector<double> scriptedPullStarts(std::uint64_t seed) {
    DriveCycle drive(DriveKind::Pulls, seed);
    std::vector<double> starts;
    constexpr double kStep = 0.001;
    double before = drive.at(0).rpm;
    for (double t = kStep; t < kDriveSeconds; t += kStep) {
        const DriveState now = drive.at(t);
        if (before < kPullRpm && now.rpm >= kPullRpm && now.throttle == 1) {
            double lo = t - kStep;
            double hi = t;
            while (hi - lo > 1e-7) {
                const double mid = (lo + hi) / 2;
                (drive.at(mid).rpm < kPullRpm ? lo : hi) = mid;
            }
            starts.push_back(hi);
        }
        before = now.rpm;
    }
    return starts;
}

std::vector<double> foundPullStarts(const SampleSource& log) {
    std::vector<double> starts;
    PullSearch search;
    while (const auto start = findPullStart(log, kPullRpm, search)) {
        starts.push_back(*start);
        search.from = *start + 1;
    }
    return starts;
}

}  // namespace

double alignErrorSamples() {
    constexpr std::uint64_t kSeedA = 7;
    constexpr std::uint64_t kSeedB = 11;
    const auto a = driveLog(kSeedA);
    const auto b = driveLog(kSeedB);
    if (!a || !b) return std::nan("");
    const LogStoreSource sourceA(*a);
    const LogStoreSource sourceB(*b);
    const std::vector<double> foundA = foundPullStarts(sourceA);
    const std::vector<double> foundB = foundPullStarts(sourceB);
    const std::vector<double> truthA = scriptedPullStarts(kSeedA);
    const std::vector<double> truthB = scriptedPullStarts(kSeedB);
    if (std::min({foundA.size(), foundB.size(), truthA.size(), truthB.size()}) < kPulls)
        return std::nan("");
    // The same pull in the log and in the script: each at the one drive-to-log offset, or the
    // pulls were paired wrong and there is no alignment to speak of.
    for (const auto& [found, truth] : {std::pair{&foundA, &truthA}, std::pair{&foundB, &truthB}})
        for (std::size_t k = 1; k < kPulls; ++k)
            if (std::abs((*found)[k] - (*truth)[k] - ((*found)[0] - (*truth)[0])) > 0.5)
                return std::nan("");
    const double step = sampleStepSeconds(sourceA);
    double worst = 0;
    for (std::size_t k = 0; k < kPulls; ++k) {
        const double found = foundB[k] - foundA[k];
        const double truth = truthB[k] - truthA[k];
        worst = std::max(worst, std::abs(found - truth) / step);
    }
    return worst;
}

}  // namespace tunalyx::bench
