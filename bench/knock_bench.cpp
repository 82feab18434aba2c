// How well knock analysis finds the cells timed past the engine's hidden knock limit and how close
// its retard comes to the least that ends the knock, on pulls of the engine that answers the tune.
// The engine burns 14.7 everywhere (its fuel requirement is the default Inj Map), so that the
// timing alone decides where it knocks. Each pass drives the same pulls in fast time, analyses
// that pass's logs and applies the retard before the next.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "knock/knock_analysis.h"
#include "paced_unit.h"
#include "ports/memory_settings_store.h"
#include "quiet_prompts.h"
#include "sim/fast_drive.h"
#include "sim/knock_limit.h"
#include "sim/tuned_engine.h"

using namespace tunalyx;

namespace {

constexpr LayoutFamily kFamily = LayoutFamily::Family5;
constexpr long kPassSeconds = 600;
constexpr int kOverCells = 6;
// The pulls must hold a cell as its largest share this long for it to be taken as visited.
constexpr double kLeastVisitSeconds = 1;
constexpr double kStepSeconds = 0.01;

using Logs = std::vector<std::unique_ptr<LogStore>>;
template <typename T>
using Grid = std::array<std::array<T, kMapAxisSize>, kMapAxisSize>;

// The drive reuses one log store for every part; each part is kept apart.
std::unique_ptr<LogStore> copyOf(const LogStore& log) {
    auto copy = std::make_unique<LogStore>();
    copy->copySamples(log, log.sampleCount());
    copy->LogLast = log.LogLast;
    copy->IncludeGroup = log.IncludeGroup;
    return copy;
}

Logs drive(const BlockStore& tune, const EngineOptions& engine) {
    static QuietPrompts prompts;
    FastDrive d;
    d.engine = engine;
    d.seconds = kPassSeconds;
    d.include[kGroupAdvanced] = true;
    d.include[kGroupAux] = true;
    d.aux = auxCalibrationOf(loadAuxSettings(MemorySettingsStore{}));  // AN1 reads A/F
    struct Keep final : LiveConsumer {
        void logSaved(const SavedLog& saved) override { logs.push_back(copyOf(saved.log)); }
        Logs logs;
    } keep;
    NoFileWriter files;
    FastDriveUnit unit(tune, kFamily, d, prompts, files);
    unit.run().addConsumer(&keep);
    if (!unit.start("drive.txt")) {
        std::printf("the drive did not start\n");
        std::exit(1);
    }
    unit.run().presentUntilOver({});
    if (unit.run().end() != LiveRunEnd::Stopped) {
        std::printf("the drive failed\n");
        std::exit(1);
    }
    return std::move(keep.logs);
}

std::size_t cellByte(std::size_t row, std::size_t col) {
    return static_cast<std::size_t>(
        cellIndex(static_cast<int>(row) + 1, static_cast<int>(col) + 1));
}

TuneMap ignOf(const BlockStore& tune) {
    const FamilyLayout& layout = familyLayout(kFamily);
    TuneMap map;
    map.grid = kIgnMap;
    map.codec = parseMapDescriptor(startupMapTags()[kIgnMap]).value();
    map.axes = mapAxesOfBlock(tune[layout.mapRefBlock]).value();
    for (std::size_t row = 0; row < kMapAxisSize; ++row)
        for (std::size_t col = 0; col < kMapAxisSize; ++col) {
            const std::size_t k = cellByte(row, col);
            map.raw[row][col] = tune[layout.ignMapBlock + k / 100][k % 100];
        }
    return map;
}

void setIgn(BlockStore& tune, std::size_t row, std::size_t col, std::int32_t raw) {
    const std::size_t k = cellByte(row, col);
    tune[familyLayout(kFamily).ignMapBlock + k / 100][k % 100] =
        static_cast<std::uint8_t>(std::clamp(raw, 0, 255));
}

KnockAnalysis analyse(const Logs& logs, const TuneMap& tune) {
    std::vector<KnockLog> list;
    for (const auto& log : logs)
        list.emplace_back(log.get());
    MapField target{};
    for (auto& row : target)
        row.fill(kStoichiometricAfr);
    return analyseKnock(list, tune, target, CellLocks{}, KnockSettings{});
}

// Where the pulls run, from the drive itself: the seconds each cell holds the largest share of
// the operating point, and the lowest the limit moves from its table while it does (a hotter
// intake).
struct Visits {
    Grid<double> seconds{};
    Grid<double> lowestShift{};
};

Visits visitsOf(const EngineOptions& engine, const MapAxes& axes) {
    DriveCycle cycle(engine.drive, engine.seed);
    Visits v;
    for (auto& row : v.lowestShift)
        row.fill(0);
    for (double t = 0; t <= kPassSeconds; t += kStepSeconds) {
        const DriveState at = cycle.at(t);
        if (at.fuelCut) continue;
        const double shift = knockLimitShift(kStoichiometricAfr, intakeAirAt(t, at.load));
        CellShare most{0, 0, -1};
        for (const CellShare& share : bilinearShares(axes, at.rpm, at.load))
            if (share.weight > most.weight) most = share;
        const auto r = static_cast<std::size_t>(most.row);
        const auto c = static_cast<std::size_t>(most.col);
        v.seconds[r][c] += kStepSeconds;
        v.lowestShift[r][c] = std::min(v.lowestShift[r][c], shift);
    }
    return v;
}

struct Cell {
    std::size_t row, col;
};

// The most visited full-boost cells, none touching another, so that each one's knock is its own.
std::vector<Cell> overCells(const Visits& v) {
    std::vector<Cell> candidates;
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c)
            if (v.seconds[r][c] >= kLeastVisitSeconds) candidates.push_back({r, c});
    std::stable_sort(candidates.begin(), candidates.end(), [&](const Cell& a, const Cell& b) {
        return v.seconds[a.row][a.col] > v.seconds[b.row][b.col];
    });
    std::vector<Cell> picked;
    for (const Cell& c : candidates) {
        const bool touches = std::any_of(picked.begin(), picked.end(), [&](const Cell& p) {
            return std::max(p.row, c.row) - std::min(p.row, c.row) <= 1 &&
                   std::max(p.col, c.col) - std::min(p.col, c.col) <= 1;
        });
        if (!touches) picked.push_back(c);
        if (picked.size() == kOverCells) break;
    }
    return picked;
}

// Whole degrees over the limit at the hottest conditions the cell ran at: the least retard of
// a map that holds whole degrees that stops its knock.
Grid<int> wholeDegreesOver(const TuneMap& tune, const KnockLimit& limit, const Visits& v) {
    Grid<int> over{};
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c) {
            const double excess = tune.value(static_cast<int>(r), static_cast<int>(c)) -
                                  (limit.field()[r][c] + v.lowestShift[r][c]);
            if (v.seconds[r][c] > 0 && excess > 0) over[r][c] = static_cast<int>(std::ceil(excess));
        }
    return over;
}

int apply(BlockStore& tune, const KnockAnalysis& a) {
    int retarded = 0;
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c)
            if (a.cells[r][c].changes()) {
                setIgn(tune, r, c, a.cells[r][c].newRaw);
                ++retarded;
            }
    return retarded;
}

}  // namespace

int main() {
    EngineOptions engine;
    engine.drive = DriveKind::Pulls;
    engine.requirement = RequirementKind::Correct;
    const KnockLimit limit = KnockLimit::forFamily(kFamily, engine);
    const BlockStore defaults = defaultBlocks(simUnit(simUnitOf(kFamily)));
    const Visits visits = visitsOf(engine, ignOf(defaults).axes);

    // Every cell 2 degrees under the limit at the hottest conditions it runs at.
    BlockStore under = defaults;
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c)
            setIgn(under, r, c,
                   static_cast<std::int32_t>(
                       std::floor(limit.field()[r][c] + visits.lowestShift[r][c] - 2)));

    // Under the limit, the sensor's spikes (one reading in 1000) must retard nothing.
    EngineOptions spiky = engine;
    spiky.knockSpikeEvery = 1000;
    const KnockAnalysis quiet = analyse(drive(under, spiky), ignOf(under));
    int watched = 0;
    for (const auto& row : quiet.cells)
        watched += static_cast<int>(std::count_if(row.begin(), row.end(), [](const KnockCell& c) {
            return c.verdict == KnockVerdict::Watch;
        }));
    const int falseCells = quiet.changedCells();
    std::printf(
        "2 degrees under the limit, a spike in 1000 readings: %d events, %d cells watched, "
        "%d retarded\n",
        quiet.eventCount(), watched, falseCells);

    // A handful of visited cells 2, 3 and 4 degrees (and a fraction) past it.
    BlockStore tune = under;
    const std::vector<Cell> over = overCells(visits);
    for (std::size_t i = 0; i < over.size(); ++i) {
        const Cell& c = over[i];
        const double degrees = 2 + static_cast<double>(i % 3);
        setIgn(tune, c.row, c.col,
               static_cast<std::int32_t>(std::ceil(limit.field()[c.row][c.col] +
                                                   visits.lowestShift[c.row][c.col] + degrees)));
    }
    const TuneMap start = ignOf(tune);
    const Grid<int> need = wholeDegreesOver(start, limit, visits);
    int least = 0;
    int overCount = 0;
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c) {
            least += need[r][c];
            overCount += need[r][c] > 0;
        }

    std::vector<int> events;
    std::vector<KnockAnalysis> passes;
    int found = 0;
    for (int pass = 1; pass <= 3; ++pass) {
        const TuneMap before = ignOf(tune);
        const KnockAnalysis& a = passes.emplace_back(analyse(drive(tune, engine), before));
        events.push_back(a.eventCount());
        if (pass == 3) {
            std::printf("pass 3: %d knock events\n", a.eventCount());
            break;
        }
        if (pass == 1)
            for (std::size_t r = 0; r < kMapAxisSize; ++r)
                for (std::size_t c = 0; c < kMapAxisSize; ++c)
                    found += need[r][c] > 0 && a.cells[r][c].changes();
        std::printf("pass %d: %d knock events, %d cells retarded:", pass, a.eventCount(),
                    apply(tune, a));
        for (std::size_t r = 0; r < kMapAxisSize; ++r)
            for (std::size_t c = 0; c < kMapAxisSize; ++c)
                if (a.cells[r][c].changes())
                    std::printf(" N%02zu P%02zu %+d%s", c + 1, r + 1,
                                a.cells[r][c].newRaw - a.cells[r][c].oldRaw,
                                need[r][c] > 0 ? "" : " (was under)");
        std::printf("\n");
    }

    for (const Cell& c : over) {
        std::printf("  N%02zu P%02zu %.2f degrees over, events/retard by pass:", c.col + 1,
                    c.row + 1,
                    start.value(static_cast<int>(c.row), static_cast<int>(c.col)) -
                        limit.field()[c.row][c.col] - visits.lowestShift[c.row][c.col]);
        for (const KnockAnalysis& a : passes)
            std::printf(" %.1f/%d", a.cells[c.row][c.col].events,
                        a.cells[c.row][c.col].oldRaw - a.cells[c.row][c.col].newRaw);
        std::printf("\n");
    }
    const TuneMap end = ignOf(tune);
    int applied = 0;
    int stillOver = 0;
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        for (std::size_t c = 0; c < kMapAxisSize; ++c) {
            applied += start.raw[r][c] - end.raw[r][c];
            stillOver += need[r][c] > start.raw[r][c] - end.raw[r][c];
        }
    std::printf("%d cells over the limit (%d whole degrees in all), %d still over after 2 passes\n",
                overCount, least, stillOver);
    std::printf("retard applied: %d degrees\n", applied);
    const double share = overCount ? static_cast<double>(found) / overCount : 0;
    const double reduction = events[0] ? 1 - static_cast<double>(events[2]) / events[0] : 0;
    const double overshoot = least ? static_cast<double>(applied) / least : 0;
    std::printf(
        "found and reduction are shares (1 = all); overshoot is retard applied over the "
        "least in whole degrees\n");
    std::printf("knock-assist found=%.2f false=%d reduction=%.2f overshoot=%.2f\n", share,
                falseCells, reduction, overshoot);
    return 0;
}
