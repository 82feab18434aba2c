#include "sim/drive_cycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace tunalyx {
namespace {

constexpr DriveKind kAllDrives[] = {DriveKind::Idle, DriveKind::City, DriveKind::Highway,
                                    DriveKind::Pulls, DriveKind::Mixed};

// Every 10 ms over the first `minutes`.
std::vector<DriveState> sample(DriveKind kind, std::uint64_t seed, int minutes) {
    DriveCycle drive(kind, seed);
    std::vector<DriveState> out;
    for (int i = 0; i <= minutes * 6000; ++i)
        out.push_back(drive.at(i * 0.01));
    return out;
}

bool same(const DriveState& a, const DriveState& b) {
    return a.rpm == b.rpm && a.load == b.load && a.throttle == b.throttle && a.fuelCut == b.fuelCut;
}

TEST(DriveCycle, NamesRoundTripAndNothingElseParses) {
    for (DriveKind kind : kAllDrives)
        EXPECT_EQ(driveFromName(driveName(kind)), kind) << driveName(kind);
    for (const char* name : {"", "Idle", "pull", "mixed ", "highways"})
        EXPECT_FALSE(driveFromName(name)) << name;
    EXPECT_STREQ(driveNamesText(), "idle, city, highway, pulls or mixed");
}

// A drive is replayed exactly from its seed, whatever order the times are asked in.
TEST(DriveCycle, SeedDecidesTheDriveNotTheOrderOfQueries) {
    for (DriveKind kind : kAllDrives) {
        DriveCycle forward(kind, 42);
        DriveCycle backward(kind, 42);
        DriveCycle other(kind, 43);
        std::vector<DriveState> late(5000);
        for (std::size_t k = late.size(); k-- > 0;)
            late[k] = backward.at(k * 0.7);
        bool differs = false;
        for (std::size_t k = 0; k < late.size(); ++k) {
            const DriveState s = forward.at(k * 0.7);
            ASSERT_TRUE(same(s, late[k])) << driveName(kind) << " at " << k * 0.7;
            differs |= !same(s, other.at(k * 0.7));
        }
        EXPECT_TRUE(differs) << driveName(kind);
    }
}

// A unit serving for days holds the newest stretch of its drive only, and still answers for
// any moment as the drive from its seed would.
TEST(DriveCycle, ALongDriveStaysItsSizeAndStillReplaysEarlierMoments) {
    DriveCycle days(DriveKind::Mixed, 9);
    DriveCycle fresh(DriveKind::Mixed, 9);
    const DriveState early = fresh.at(100);
    for (double t = 0; t < 5 * 24 * 3600.0; t += 30)
        (void)days.at(t);
    EXPECT_LE(days.segmentsHeld(), 2 * DriveCycle::kKeptSegments);
    EXPECT_TRUE(same(days.at(100), early));
    EXPECT_TRUE(same(days.at(4 * 24 * 3600.0 + 0.5), fresh.at(4 * 24 * 3600.0 + 0.5)));
}

// The engine model and the map tracer get a plausible engine: no jumps, nothing off the map,
// the injectors cut only on the overrun.
TEST(DriveCycle, StaysContinuousOnTheMapWithFuelCutOnlyOnTheOverrun) {
    for (DriveKind kind : kAllDrives) {
        const std::vector<DriveState> states = sample(kind, 7, kind == DriveKind::Mixed ? 30 : 10);
        const DriveState& start = states.front();
        EXPECT_TRUE(start.rpm < 950 && start.throttle == 0 && !start.fuelCut) << driveName(kind);
        for (std::size_t i = 0; i < states.size(); ++i) {
            const DriveState& s = states[i];
            SCOPED_TRACE(std::string(driveName(kind)) + " at " + std::to_string(i * 0.01));
            ASSERT_TRUE(s.rpm >= 700 && s.rpm <= 7600) << s.rpm;
            ASSERT_TRUE(s.load >= 900 && s.load <= 13500) << s.load;
            ASSERT_TRUE(s.throttle >= 0 && s.throttle <= 1) << s.throttle;
            if (s.fuelCut) {
                ASSERT_TRUE(s.throttle == 0 && s.rpm > 1100) << s.rpm;
            }
            if (i == 0) continue;
            ASSERT_LT(std::abs(s.rpm - states[i - 1].rpm), 150);
            ASSERT_LT(std::abs(s.load - states[i - 1].load), 800);
        }
    }
}

struct Visits {
    double maxRpm = 0, maxLoad = 0;
    double shareIdle = 0, shareCruise = 0, shareFuelCut = 0;
};

Visits visits(DriveKind kind, int minutes) {
    const std::vector<DriveState> states = sample(kind, 11, minutes);
    Visits v;
    for (const DriveState& s : states) {
        v.maxRpm = std::max(v.maxRpm, s.rpm);
        v.maxLoad = std::max(v.maxLoad, s.load);
        v.shareIdle +=
            s.rpm >= 800 && s.rpm <= 950 && s.load >= 1100 && s.load <= 1800 && s.throttle == 0;
        v.shareCruise += s.rpm >= 2200 && s.rpm <= 4500 && s.load >= 3000 && s.load <= 10000;
        v.shareFuelCut += s.fuelCut;
    }
    const double n = double(states.size());
    v.shareIdle /= n;
    v.shareCruise /= n;
    v.shareFuelCut /= n;
    return v;
}

TEST(DriveCycle, EachDriveFillsItsOwnPartOfTheMap) {
    const Visits idle = visits(DriveKind::Idle, 10);
    EXPECT_LT(idle.maxRpm, 2600);
    EXPECT_GT(idle.maxRpm, 1500);  // blipped at least once
    EXPECT_GT(idle.shareIdle, 0.8);

    const Visits city = visits(DriveKind::City, 10);
    EXPECT_LT(city.maxRpm, 4000);
    EXPECT_GT(city.maxLoad, 6000);
    EXPECT_LT(city.maxLoad, 8500);
    EXPECT_GT(city.shareIdle, 0.15);
    EXPECT_GT(city.shareFuelCut, 0.03);

    const Visits highway = visits(DriveKind::Highway, 30);
    EXPECT_GT(highway.shareCruise, 0.85);
    EXPECT_GT(highway.maxLoad, 7000);  // overtaking
    EXPECT_LT(highway.maxLoad, 10500);
    EXPECT_GT(highway.shareFuelCut, 0);

    const Visits pulls = visits(DriveKind::Pulls, 10);
    EXPECT_GT(pulls.maxRpm, 6500);
    EXPECT_GT(pulls.maxLoad, 11000);
    EXPECT_GT(pulls.shareFuelCut, 0.1);

    const Visits mixed = visits(DriveKind::Mixed, 30);
    EXPECT_GT(mixed.maxLoad, 11000);
    EXPECT_GT(mixed.shareIdle, 0.05);
    EXPECT_GT(mixed.shareCruise, 0.2);
    EXPECT_GT(mixed.shareFuelCut, 0.02);
}

}  // namespace
}  // namespace tunalyx
