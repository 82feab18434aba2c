#include "knock/knock_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/even_map.h"

namespace tunalyx {
namespace {

using test::evenAxes;
using test::loadAt;
using test::rpmAt;

TuneMap flatIgn(std::int32_t raw = 20) {
    return test::flatMap(kIgnMap, raw);
}

// Stoichiometric up to row 9, rich for boost from row 10 (load 6000) on.
MapField boostTarget() {
    MapField t{};
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        t[r].fill(r < 10 ? 14.7 : 12.0);
    return t;
}

// A hand-written log, a sample every `stepMs`.
class TestLog {
public:
    explicit TestLog(int stepMs = 10) : m_step(stepMs) {
        m_log->IncludeGroup[kGroupAdvanced] = true;
        m_log->IncludeGroup[kGroupAux] = true;
    }
    TestLog& add(double rpm, double load, double knock, double afr = 12) {
        const int n = m_count++;
        m_log->setLogTime(n, n * m_step);
        m_log->setLogData(kRpmItem, n, rpm);
        m_log->setLogData(kLoadItem, n, load);
        m_log->setLogData(kKnockItem, n, knock);
        m_log->setLogData(kAn1Item, n, afr);
        m_log->LogLast = n;
        return *this;
    }
    // `n` readings of the sensor's noise around `level`, within 2 counts, most often `level`.
    TestLog& noise(int n, double rpm, double load, double level, double afr = 12) {
        constexpr int kNoise[] = {0, -1, 1, 0, -2, 0, 2, 1, -1, 0};
        for (int i = 0; i < n; ++i)
            add(rpm, load, level + kNoise[m_count % 10], afr);
        return *this;
    }
    // `bursts` bursts of three loud readings, a second apart, with noise around them.
    TestLog& bursts(int bursts, double rpm, double load, double afr = 12) {
        for (int b = 0; b < bursts; ++b) {
            noise(50, rpm, load, 20, afr);
            for (int i = 0; i < 3; ++i)
                add(rpm, load, 80, afr);
            noise(47, rpm, load, 20, afr);
        }
        return *this;
    }
    [[nodiscard]] const LogStore& store() const { return *m_log; }
    LogStore& store() { return *m_log; }

private:
    std::unique_ptr<LogStore> m_log = std::make_unique<LogStore>();
    int m_step;
    int m_count = 0;
};

KnockAnalysis analyse(const TestLog& log, const TuneMap& tune = flatIgn(),
                      std::vector<RanOnMap> ranOn = {}, const CellLocks& locks = {},
                      const KnockSettings& settings = {}) {
    return analyseKnock({KnockLog(&log.store(), std::move(ranOn))}, tune, boostTarget(), locks,
                        settings);
}

TEST(KnockFloors, EachRpmBandHasItsOwnFloorSoALoudBandHidesNoOtherBandsKnock) {
    // Knock at 30 counts stands out of a floor of 10 at 2000 rpm and is under the noise at 6000;
    // whichever band has the most readings must not set the other's floor.
    for (const bool mostlyHigh : {true, false}) {
        SCOPED_TRACE(mostlyHigh ? "mostly high rpm" : "mostly low rpm");
        TestLog log;
        log.noise(mostlyHigh ? 300 : 2000, 2000, 3000, 10);
        for (int i = 0; i < 3; ++i)
            log.add(2000, 3000, 30);
        log.noise(mostlyHigh ? 2000 : 300, 6000, 3000, 60);
        for (int i = 0; i < 3; ++i)
            log.add(6000, 3000, 90);
        log.noise(100, 6000, 3000, 60);

        const KnockFloors floors(log.store(), {});
        EXPECT_EQ(floors.floorAt(2000), 10);
        EXPECT_EQ(floors.floorAt(6000), 60);
        const std::vector<KnockEvent> events = findKnockEvents(log.store(), {});
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].rpm, 2000);
        EXPECT_EQ(events[0].readings, 3);
        EXPECT_EQ(events[0].peak, 30);
        EXPECT_EQ(events[1].rpm, 6000);
        EXPECT_EQ(events[1].readings, 3);
        EXPECT_EQ(events[1].floor, 60);
    }
}

TEST(KnockFloors, ABandThatKnocksInMostOfItsReadingsKeepsTheFloorOfTheRest) {
    // Pulls through a band that knocks all the way: two readings in three are knock.
    TestLog log;
    for (int pull = 0; pull < 10; ++pull) {
        log.noise(30, 4200, 9000, 20);
        for (int i = 0; i < 60; ++i)
            log.add(4200, 9000, 50 + i % 40);
    }
    log.noise(30, 4200, 9000, 20);
    EXPECT_EQ(KnockFloors(log.store(), {}).floorAt(4200), 20);
    EXPECT_EQ(findKnockEvents(log.store(), {}).size(), 10u);
}

TEST(KnockEvents, AnEventIsHeldASpikeIsNoneAndABurstIsOne) {
    struct Case {
        const char* name;
        int stepMs;
        std::vector<int> loud;  // samples reading 80 over a floor of 20
        std::size_t events;
    };
    const Case cases[] = {
        {"single spike", 10, {100}, 0},
        {"burst", 10, {100, 101, 102, 103, 104, 105, 106, 107, 108, 109}, 1},
        {"two bursts a second apart", 10, {100, 101, 102, 200, 201, 202}, 2},
        {"two readings within the hold", 10, {100, 105}, 1},
        {"two spikes beyond the hold", 10, {100, 115}, 0},
        {"two readings in a row of a slow log", 250, {50, 51}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestLog log(c.stepMs);
        for (int i = 0; i < 300; ++i) {
            const bool loud = std::find(c.loud.begin(), c.loud.end(), i) != c.loud.end();
            log.add(3000, 3000, loud ? 80 : 20);
        }
        EXPECT_EQ(findKnockEvents(log.store(), {}).size(), c.events);
    }
}

TEST(KnockCells, SamplesAreSharedAsTheUnitInterpolatesAndAnEventCountsWholeInOneCell) {
    struct Case {
        const char* name;
        double fx, fy;
        double shares[4];  // of cells (4,6), (4,7), (5,6), (5,7)
        int owner;
    };
    // Midway between four, the most advanced cell takes the knock: shared by quarters, two events
    // would retard none of them.
    const Case cases[] = {
        {"on a breakpoint", 0, 0, {1, 0, 0, 0}, 0},
        {"nearest the next row", 0.25, 0.75, {0.1875, 0.0625, 0.5625, 0.1875}, 2},
        {"midway between four", 0.5, 0.5, {0.25, 0.25, 0.25, 0.25}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestLog log;
        log.bursts(2, rpmAt(6, c.fx), loadAt(4, c.fy));
        TuneMap tune = flatIgn();
        tune.raw[5][7] = 24;
        const KnockAnalysis a = analyse(log, tune);
        ASSERT_EQ(a.eventCount(), 2);
        const KnockCell* cells[] = {&a.cells[4][6], &a.cells[4][7], &a.cells[5][6], &a.cells[5][7]};
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE(k);
            EXPECT_NEAR(cells[k]->samples, 200 * c.shares[k], 1e-9);
            EXPECT_EQ(cells[k]->peak, c.shares[k] > 0 ? 80 : 0);
            EXPECT_EQ(cells[k]->floor, c.shares[k] > 0 ? 20 : 0);
            EXPECT_EQ(cells[k]->events, k == c.owner ? 2 : 0);
            EXPECT_EQ(cells[k]->changes(), k == c.owner);
        }
        EXPECT_EQ(a.cells[3][6].verdict, KnockVerdict::NoData);
    }
}

TEST(KnockCells, ACellThatKnocksOftenTakesTheKnockItSpreadsIntoItsNeighbours) {
    // Cell (4,6) knocks five times on its breakpoint and twice more in (4,7)'s half of the square
    // between them; a neighbour's events are its own where the frequent cell's share is small.
    struct Case {
        const char* name;
        double fx;
        double ownEvents, neighbourEvents;
    };
    const Case cases[] = {
        {"beside it, a good share", 0.6, 7, 0},
        {"under a quarter", 0.8, 5, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestLog log;
        log.bursts(5, rpmAt(6), loadAt(4)).bursts(2, rpmAt(6, c.fx), loadAt(4));
        const KnockAnalysis a = analyse(log);
        EXPECT_EQ(a.cells[4][6].events, c.ownEvents);
        EXPECT_EQ(a.cells[4][7].events, c.neighbourEvents);
        EXPECT_EQ(a.cells[4][7].changes(), c.neighbourEvents >= 2);
    }
}

TEST(KnockCells, AKnockHeldWhileTheEngineCrossesCellsIsAnEventInEach) {
    TestLog log;
    log.noise(100, rpmAt(6), loadAt(4), 20);
    for (const int col : {6, 6, 6, 8, 8, 8})
        log.add(rpmAt(col), loadAt(4), 80);
    log.noise(100, rpmAt(8), loadAt(4), 20);
    EXPECT_EQ(findKnockEvents(log.store(), {}).size(), 1u);
    const KnockAnalysis a = analyse(log);
    EXPECT_EQ(a.eventCount(), 2);
    EXPECT_EQ(a.cells[4][6].events, 1);
    EXPECT_EQ(a.cells[4][8].events, 1);
}

TEST(KnockCells, LeanKnockIsFlaggedAtLoadWhenLeanerThanTarget) {
    struct Case {
        const char* name;
        int row;
        double afr;
        bool afrLogged;
        bool lean;
    };
    const Case cases[] = {
        {"lean at load", 12, 13.0, true, true},
        {"rich at load", 12, 11.8, true, false},
        {"within a hair of target", 12, 12.1, true, false},
        {"lean in cruise", 2, 16.0, true, false},
        {"A/F not logged", 12, 13.0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestLog log;
        log.store().IncludeGroup[kGroupAux] = c.afrLogged;
        log.bursts(2, rpmAt(6), loadAt(c.row), c.afr);
        const KnockAnalysis a = analyse(log);
        ASSERT_EQ(a.eventCount(), 2);
        EXPECT_EQ(a.events[0][0].lean, c.lean);
        EXPECT_EQ(a.cells[static_cast<std::size_t>(c.row)][6].leanKnock(), c.lean);
    }
}

TEST(KnockCells, LeanIsReadFromTheGasBurnedAtTheKnock) {
    // The sensor sees the knock's gas a delay later: lean then, rich at the knock's own sample.
    TestLog log;
    log.noise(100, rpmAt(6), loadAt(12), 20, 11.8);
    for (int i = 0; i < 3; ++i)
        log.add(rpmAt(6), loadAt(12), 80, 11.8);
    log.noise(100, rpmAt(6), loadAt(12), 20, 13.5);
    const KnockAnalysis a = analyse(log);
    ASSERT_EQ(a.eventCount(), 1);
    ASSERT_TRUE(a.events[0][0].afr.has_value());
    EXPECT_EQ(*a.events[0][0].afr, 13.5);
    EXPECT_TRUE(a.events[0][0].lean);
}

TEST(KnockRetard, ADegreePerEventBeyondTheFirstAtMostTheLargestNeverAnAdvance) {
    struct Case {
        const char* name;
        int bursts;
        bool locked;
        std::int32_t windowRaw;  // the knock ran on 20
        KnockVerdict verdict;
        std::int32_t newRaw;
    };
    const Case cases[] = {
        {"one event is shown", 1, false, 20, KnockVerdict::Watch, 20},
        {"two events", 2, false, 20, KnockVerdict::Retard, 19},
        {"five events, at most three", 5, false, 20, KnockVerdict::Retard, 17},
        {"locked", 5, true, 20, KnockVerdict::Locked, 20},
        {"retarded further since", 3, false, 15, KnockVerdict::AlreadyRetarded, 15},
        {"advanced since", 3, false, 24, KnockVerdict::Retard, 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestLog log;
        log.bursts(c.bursts, rpmAt(6), loadAt(4));
        CellLocks locks{};
        locks[4][6] = c.locked;
        const KnockAnalysis a = analyse(log, flatIgn(c.windowRaw), {{0, flatIgn(20)}}, locks);
        const KnockCell& cell = a.cells[4][6];
        EXPECT_EQ(cell.verdict, c.verdict);
        EXPECT_EQ(cell.newRaw, c.newRaw);
        EXPECT_EQ(a.changedCells(), c.newRaw != c.windowRaw ? 1 : 0);
    }
}

TEST(KnockRetard, AppliedRetardIsNotAskedForAgainByTheSameLog) {
    Tune t;
    MapGrids maps(t.image, t.dirty, t.mapLayout, t.cellChanged);
    maps.GridInit();
    maps.GridSetRange(kIgnMap, CellRange::all(), 20);
    maps.clearCellChanged(kIgnMap);
    const TuneMap ranOn = tuneMapOf(maps, kIgnMap, evenAxes());
    TestLog log;
    log.bursts(3, rpmAt(6), loadAt(4)).bursts(3, rpmAt(9), loadAt(4));

    const KnockAnalysis first = analyse(log, ranOn, {{0, ranOn}});
    ASSERT_EQ(first.changedCells(), 2);
    // Only the selection, and never above what the cell holds now.
    maps.GridSetData(kIgnMap, 5, 10, 12);
    applyRetard(maps, first, CellRange{5, 1, 5, 8});
    EXPECT_EQ(maps.GridData(kIgnMap, 5, 7), 18);
    EXPECT_TRUE(maps.CellChanged(kIgnMap, 5, 7));
    applyRetard(maps, first);
    EXPECT_EQ(maps.GridData(kIgnMap, 5, 10), 12);

    const KnockAnalysis again = analyse(log, tuneMapOf(maps, kIgnMap, evenAxes()), {{0, ranOn}});
    EXPECT_EQ(again.changedCells(), 0);
    EXPECT_EQ(again.cells[4][6].verdict, KnockVerdict::AlreadyRetarded);
}

TEST(KnockRetard, ATuneOnOtherAxesGivesItsValueAtTheCellsBreakpoints) {
    // The log ran on columns a quarter cell higher, advance rising 4 degrees a column: at the
    // window's column 6 (3400 rpm) it held 20 + 4 x 5.75 = 43.
    TuneMap ranOn = flatIgn();
    for (std::size_t c = 0; c < kMapAxisSize; ++c) {
        ranOn.axes.column[c] += 100;
        for (auto& row : ranOn.raw)
            row[c] = 20 + 4 * static_cast<std::int32_t>(c);
    }
    TestLog log;
    log.bursts(3, rpmAt(6), loadAt(4));
    const KnockAnalysis a = analyse(log, flatIgn(50), {{0, ranOn}});
    EXPECT_EQ(a.cells[4][6].newRaw, 41);
}

TEST(KnockAnalysis, ALogWithoutTheAdvancedGroupIsRefusedByName) {
    TestLog log;
    log.bursts(2, rpmAt(6), loadAt(4));
    log.store().IncludeGroup[kGroupAdvanced] = false;
    const KnockAnalysis a =
        analyseKnock({KnockLog(&log.store(), {}, "d.txt")}, flatIgn(), boostTarget(), {}, {});
    EXPECT_EQ(a.problem,
              "Knock analysis needs Advanced, and d.txt was logged without it: tick Advanced in "
              "the Monitor before logging");
    EXPECT_EQ(a.eventCount(), 0);
}

}  // namespace
}  // namespace tunalyx
