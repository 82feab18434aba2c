#include "knock/knock_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/settings_codec.h"
#include "monitor/log_groups.h"

namespace tunalyx {

namespace {

constexpr double kStoichiometricAfr = 14.7;
// Shares add up in floating point; a count this close to a whole number is that number.
constexpr double kCountSlack = 1e-9;

// Where readings lie thickest: the shortest span holding a quarter of them (the lowest of equal
// spans) finds the noise, and the spread of a normal noise that would give that span. Knock only
// reads high, and on pulls it can fill most of a band's readings, where a median follows it up.
// The floor is then the median of the readings within 3 spreads of that span, so that noise
// spread evenly over a few counts is told by its middle, not by its lowest values.
struct Span {
    double centre;
    double sigma;
};
Span densestSpan(std::vector<double>& values) {
    constexpr double kQuarterHalfWidth = 0.3186;  // of a normal distribution's middle quarter
    std::sort(values.begin(), values.end());
    const std::size_t held = std::max<std::size_t>(1, values.size() / 4);
    std::size_t first = 0;
    for (std::size_t i = 1; i + held <= values.size(); ++i)
        if (values[i + held - 1] - values[i] < values[first + held - 1] - values[first]) first = i;
    const double sigma = (values[first + held - 1] - values[first]) / 2 / kQuarterHalfWidth;
    const double middle = (values[first] + values[first + held - 1]) / 2;
    const double reach = 3 * std::max(sigma, 1.0);
    const auto low = std::lower_bound(values.begin(), values.end(), middle - reach);
    const auto high = std::upper_bound(low, values.end(), middle + reach);
    return {*(low + (high - low - 1) / 2), sigma};
}

double seconds(const LogStore& log, int i) {
    return log.LogTime(i) / 1000.0;
}

// A reading the floor and the events are made of: the engine turning, a knock value logged.
bool usable(const LogStore& log, int i, int knockItem) {
    const double rpm = log.LogData(kRpmItem, i);
    return std::isfinite(rpm) && rpm > 0 && std::isfinite(log.LogData(knockItem, i)) &&
           std::isfinite(log.LogData(kLoadItem, i));
}

// The A/F of the gas burned at the event's peak: the sensor reads it one delay later.
std::optional<double> afrOfEvent(const LogStore& log, const KnockEvent& e,
                                 const AutoTuneSettings& fuel) {
    const double t = e.seconds + delaySecondsOf(fuel, e.rpm, e.load);
    const int last = log.sampleCount() - 1;
    if (seconds(log, last) < t) return std::nullopt;
    int k = e.peakSample;
    while (k < last && seconds(log, k + 1) <= t)
        ++k;
    const double afr = log.LogData(fuel.afrItem, k);
    if (!(afr >= fuel.lowestAfr && afr <= fuel.highestAfr)) return std::nullopt;
    return afr;
}

// The events of a log; one that runs on from one part of the map (`partOf` a sample) into
// another becomes an event of each.
template <typename PartOf>
std::vector<KnockEvent> eventsIn(const LogStore& log, const KnockFloors& floors,
                                 const KnockSettings& s, PartOf partOf) {
    std::vector<KnockEvent> events;
    std::optional<KnockEvent> open;
    int lastAbove = -1;
    int openPart = 0;
    const auto close = [&] {
        if (open && open->readings >= s.leastHeldReadings) events.push_back(*open);
        open.reset();
    };
    for (int i = 0; i < log.sampleCount(); ++i) {
        if (!usable(log, i, s.knockItem)) continue;
        const double rpm = log.LogData(kRpmItem, i);
        const double knock = log.LogData(s.knockItem, i);
        if (knock <= floors.thresholdAt(rpm)) continue;
        // Readings in a row belong together however slow the log; others within the hold.
        const int part = partOf(i);
        if (open &&
            ((lastAbove != i - 1 && seconds(log, i) - seconds(log, lastAbove) >= s.holdSeconds) ||
             part != openPart))
            close();
        openPart = part;
        if (!open) {
            open.emplace();
            open->firstSample = i;
            open->peak = -std::numeric_limits<double>::infinity();
        }
        ++open->readings;
        lastAbove = i;
        if (knock > open->peak) {
            open->peak = knock;
            open->peakSample = i;
            open->seconds = seconds(log, i);
            open->rpm = rpm;
            open->load = log.LogData(kLoadItem, i);
            open->floor = floors.floorAt(rpm);
        }
    }
    close();
    return events;
}

// Running sums of a cell over all logs.
struct CellSums {
    double samples = 0;
    double floorSum = 0;  // weighted
    double peak = -std::numeric_limits<double>::infinity();
    double events = 0;
    double leanEvents = 0;
    double held = std::numeric_limits<double>::infinity();  // the lowest value knocked on
};
using SumGrid = std::array<std::array<CellSums, kMapAxisSize>, kMapAxisSize>;

// An event's point as its cells share it (a cell that appears twice at the map's edge once), with
// the value each held when it knocked.
struct EventPoint {
    std::array<CellShare, 4> shares;
    std::array<double, 4> held;
    bool lean;
};

EventPoint pointOf(const KnockEvent& e, const MapAxes& axes, const MapField& held) {
    EventPoint p{bilinearShares(axes, e.rpm, e.load), {}, e.lean};
    for (std::size_t i = 0; i < p.shares.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j)
            if (p.shares[j].row == p.shares[i].row && p.shares[j].col == p.shares[i].col) {
                p.shares[j].weight += p.shares[i].weight;
                p.shares[i].weight = 0;
            }
        p.held[i] = held[static_cast<std::size_t>(p.shares[i].row)]
                        [static_cast<std::size_t>(p.shares[i].col)];
    }
    return p;
}

void readLog(const KnockLog& input, const TuneMap& tune, const MapField& targetAfr,
             const KnockSettings& s, SumGrid& sums, std::vector<EventPoint>& points,
             KnockAnalysis& out) {
    const LogStore& log = *input.log;
    const KnockFloors floors(log, s);
    for (int i = 0; i < log.sampleCount(); ++i) {
        if (!usable(log, i, s.knockItem)) continue;
        ++out.readings;
        const double rpm = log.LogData(kRpmItem, i);
        const double knock = log.LogData(s.knockItem, i);
        const double floor = floors.floorAt(rpm);
        for (const CellShare& share : bilinearShares(tune.axes, rpm, log.LogData(kLoadItem, i))) {
            if (share.weight <= 0) continue;
            CellSums& cell =
                sums[static_cast<std::size_t>(share.row)][static_cast<std::size_t>(share.col)];
            cell.samples += share.weight;
            cell.floorSum += share.weight * floor;
            cell.peak = std::max(cell.peak, knock);
        }
    }

    const TraceItems items;
    const bool afrLogged =
        input.afrIsAfr && log.IncludeGroup[static_cast<std::size_t>(
                              items.TraceGroup[static_cast<std::size_t>(s.fuel.afrItem)])];
    const RanOnSegments held(input.ranOn, tune);
    // A knock held while the engine moves across the map is knock in each cell it crosses.
    std::vector<KnockEvent> events = eventsIn(log, floors, s, [&](int i) {
        const auto shares =
            bilinearShares(tune.axes, log.LogData(kRpmItem, i), log.LogData(kLoadItem, i));
        const auto most = std::max_element(
            shares.begin(), shares.end(),
            [](const CellShare& a, const CellShare& b) { return a.weight < b.weight; });
        return most->row * kMapAxisSize + most->col;
    });
    for (KnockEvent& e : events) {
        if (afrLogged) e.afr = afrOfEvent(log, e, s.fuel);
        const double target = interpolateField(targetAfr, tune.axes, e.rpm, e.load);
        const bool atLoad = target < kStoichiometricAfr * (1 - s.leanShare);
        e.lean = atLoad && e.afr && *e.afr > target * (1 + s.leanShare);
        points.push_back(pointOf(e, tune.axes, held.at(e.peakSample)));
    }
    out.events.push_back(std::move(events));
}

// Each event counts whole in the cell with the largest share of its point (of equal shares, the
// most advanced), unless a cell holding a quarter or more of it knocked more often: one far past
// the limit knocks into its neighbours' squares. Counted by shares instead, an event midway between
// four retarded none of them, and the cells around one past the limit gathered fractions until
// they were retarded too.
void countEvents(const std::vector<EventPoint>& points, SumGrid& sums) {
    constexpr double kTakingShare = 0.25;
    const auto largest = [](const EventPoint& p) {
        std::size_t best = 0;
        for (std::size_t i = 1; i < p.shares.size(); ++i)
            if (p.shares[i].weight > p.shares[best].weight + kCountSlack ||
                (p.shares[i].weight > p.shares[best].weight - kCountSlack &&
                 p.held[i] > p.held[best]))
                best = i;
        return best;
    };
    const auto at = [](const CellShare& c) {
        return std::pair(static_cast<std::size_t>(c.row), static_cast<std::size_t>(c.col));
    };
    std::array<std::array<int, kMapAxisSize>, kMapAxisSize> first{};
    for (const EventPoint& p : points) {
        const auto [r, c] = at(p.shares[largest(p)]);
        ++first[r][c];
    }
    for (const EventPoint& p : points) {
        std::size_t owner = largest(p);
        const auto often = [&](std::size_t i) {
            const auto [r, c] = at(p.shares[i]);
            return first[r][c];
        };
        for (std::size_t i = 0; i < p.shares.size(); ++i)
            if (p.shares[i].weight >= kTakingShare && often(i) > often(owner)) owner = i;
        const auto [r, c] = at(p.shares[owner]);
        CellSums& cell = sums[r][c];
        cell.events += 1;
        if (p.lean) cell.leanEvents += 1;
        cell.held = std::min(cell.held, p.held[owner]);
    }
}

// The cell's verdict and new value from its sums.
void judgeCell(KnockCell& cell, const CellSums& sum, bool locked, const MapDescriptor& codec,
               const KnockSettings& s) {
    cell.samples = sum.samples;
    cell.events = sum.events;
    cell.leanEvents = sum.leanEvents;
    if (sum.samples > 0) {
        cell.peak = sum.peak;
        cell.floor = sum.floorSum / sum.samples;
    }
    if (sum.samples <= 0 && sum.events <= 0) return;
    if (sum.events <= kCountSlack) {
        cell.verdict = KnockVerdict::Quiet;
        return;
    }
    if (sum.events < 2 - kCountSlack) {
        cell.verdict = KnockVerdict::Watch;
        return;
    }
    // A degree per event beyond the first: an event shared with other cells counts its share.
    cell.retard = std::min(s.maxRetard, std::floor(sum.events - 1 + kCountSlack));
    if (locked) {
        cell.verdict = KnockVerdict::Locked;
        return;
    }
    const double wanted = (sum.held - cell.retard - codec.offset) / codec.scale;
    const auto wantedRaw = static_cast<std::int32_t>(std::clamp(
        std::lround(wanted), static_cast<long>(codec.min), static_cast<long>(codec.max)));
    // Stated against the map now: a cell retarded since keeps what it holds.
    const std::int32_t raw = std::min(cell.oldRaw, wantedRaw);
    if (raw == cell.oldRaw) {
        cell.verdict = wanted < codec.min && cell.oldRaw <= codec.min
                           ? KnockVerdict::AtMinimum
                           : KnockVerdict::AlreadyRetarded;
        return;
    }
    cell.newRaw = raw;
    cell.newValue = raw * codec.scale + codec.offset;
    cell.verdict = KnockVerdict::Retard;
}

}  // namespace

KnockFloors::KnockFloors(const LogStore& log, const KnockSettings& s) : m_bandRpm(s.bandRpm) {
    std::vector<std::vector<double>> bands;
    std::size_t total = 0;
    for (int i = 0; i < log.sampleCount(); ++i) {
        if (!usable(log, i, s.knockItem)) continue;
        const auto band = static_cast<std::size_t>(log.LogData(kRpmItem, i) / m_bandRpm);
        if (band >= bands.size()) bands.resize(band + 1);
        bands[band].push_back(log.LogData(s.knockItem, i));
        ++total;
    }
    const auto least = std::min(total, static_cast<std::size_t>(std::max(1, s.leastBandReadings)));
    std::vector<double> values;
    for (std::size_t b = 0; b < bands.size(); ++b) {
        // A thin band borrows from both sides alike until it has enough to be told from knock.
        values.clear();
        for (std::size_t reach = 0; values.size() < least; ++reach) {
            if (reach == 0) {
                values = bands[b];
                continue;
            }
            if (b >= reach)
                values.insert(values.end(), bands[b - reach].begin(), bands[b - reach].end());
            if (b + reach < bands.size())
                values.insert(values.end(), bands[b + reach].begin(), bands[b + reach].end());
        }
        if (values.empty()) {
            m_floor.push_back(0);
            m_threshold.push_back(std::numeric_limits<double>::infinity());
            continue;
        }
        const auto [centre, sigma] = densestSpan(values);
        m_floor.push_back(centre);
        m_threshold.push_back(centre + std::max(s.marginSigmas * sigma, s.leastMargin));
    }
}

std::size_t KnockFloors::bandOf(double rpm) const {
    const double band = std::max(0.0, std::floor(rpm / m_bandRpm));
    return std::min(static_cast<std::size_t>(band), m_floor.size() - 1);
}

double KnockFloors::floorAt(double rpm) const {
    return m_floor.empty() ? 0 : m_floor[bandOf(rpm)];
}

double KnockFloors::thresholdAt(double rpm) const {
    return m_threshold.empty() ? std::numeric_limits<double>::infinity() : m_threshold[bandOf(rpm)];
}

std::vector<KnockEvent> findKnockEvents(const LogStore& log, const KnockSettings& s) {
    return eventsAbove(log, KnockFloors(log, s), s);
}

std::vector<KnockEvent> eventsAbove(const LogStore& log, const KnockFloors& floors,
                                    const KnockSettings& s) {
    return eventsIn(log, floors, s, [](int) { return 0; });
}

int KnockAnalysis::changedCells() const {
    int n = 0;
    for (const auto& row : cells)
        for (const KnockCell& c : row)
            n += c.changes();
    return n;
}

int KnockAnalysis::eventCount() const {
    std::size_t n = 0;
    for (const auto& log : events)
        n += log.size();
    return static_cast<int>(n);
}

KnockAnalysis analyseKnock(const std::vector<KnockLog>& logs, const TuneMap& tune,
                           const MapField& targetAfr, const CellLocks& locks,
                           const KnockSettings& s) {
    KnockAnalysis a;
    for (const KnockLog& input : logs) {
        a.problem = missingGroupsProblem(*input.log, s.knockItem, input.name, "Knock analysis");
        if (!a.problem.empty()) return a;
    }
    SumGrid sums{};
    std::vector<EventPoint> points;
    for (const KnockLog& input : logs)
        readLog(input, tune, targetAfr, s, sums, points, a);
    countEvents(points, sums);
    for (std::size_t r = 0; r < kMapAxisSize; ++r) {
        for (std::size_t c = 0; c < kMapAxisSize; ++c) {
            KnockCell& cell = a.cells[r][c];
            cell.oldRaw = cell.newRaw = tune.raw[r][c];
            cell.oldValue = cell.newValue = tune.value(static_cast<int>(r), static_cast<int>(c));
            judgeCell(cell, sums[r][c], locks[r][c], tune.codec, s);
        }
    }
    return a;
}

std::vector<CellText> applyRetard(MapGrids& maps, const KnockAnalysis& analysis,
                                  const std::optional<CellRange>& only) {
    return storeCells(
        maps, kIgnMap,
        [&](int row, int col) -> std::optional<std::int32_t> {
            const KnockCell& cell =
                analysis
                    .cells[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)];
            // Retard only: a cell lowered further since the analysis keeps its value.
            if (!cell.changes() || cell.newRaw >= maps.GridData(kIgnMap, row, col))
                return std::nullopt;
            return cell.newRaw;
        },
        only);
}

}  // namespace tunalyx
