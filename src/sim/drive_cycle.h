#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

namespace tunalyx {

// The drive cycles a tuner would do to fill the map.
enum class DriveKind {
    Idle,     // warm idle with the odd blip
    City,     // stop-go at part throttle, coasting to the lights
    Highway,  // steady cruise at several speeds
    Pulls,    // wide-open-throttle runs through the rpm range on boost
    Mixed,    // all of them, with coasting and fuel cut between
};

// "idle", "city", "highway", "pulls", "mixed"; nothing for any other name.
[[nodiscard]] std::optional<DriveKind> driveFromName(std::string_view name);
[[nodiscard]] const char* driveName(DriveKind kind);
// The names as a usage text lists them: "idle, city, highway, pulls or mixed".
[[nodiscard]] const char* driveNamesText();

// Where the drive has the engine at one moment.
struct DriveState {
    double rpm = 850;
    double load = 1500;    // the unit's load number, on the map reference's row axis
    double throttle = 0;   // 0 shut .. 1 wide open
    bool fuelCut = false;  // overrun: throttle shut above idle speed, the injectors off
};

// A scripted drive: a chain of segments (steady 2-10 s, or a ramp from one state to the next)
// drawn from a seeded generator, so the same kind and seed always drive the same way. Time per
// map cell is uneven, as on the road.
class DriveCycle {
public:
    DriveCycle(DriveKind kind, std::uint64_t seed);

    // The state `seconds` after the start (any order of queries). The chain grows as needed and
    // keeps its newest segments only: a query before them plays the drive again from its start.
    [[nodiscard]] DriveState at(double seconds);
    // Segments held, at most twice kKeptSegments however long the drive.
    static constexpr std::size_t kKeptSegments = 4096;
    [[nodiscard]] std::size_t segmentsHeld() const { return m_segments.size(); }

private:
    struct Segment {
        double start;     // seconds
        double duration;  // seconds
        DriveState from;
        DriveState to;
        double wobble;  // relative rpm/load wander of a steady segment, 0 for ramps
    };
    void restart();
    void extendTo(double seconds);
    [[nodiscard]] double end() const;
    [[nodiscard]] const DriveState& last() const;

    double draw(double lo, double hi);
    bool chance(double p);
    double wobble();
    DriveState idleState();
    DriveState cruiseState(double rpm);

    // Segments from where the chain ends.
    void hold(double shortest, double longest);
    void ramp(const DriveState& to, double shortest, double longest);
    void liftOff();
    void coastTo(double rpm, double rpmPerSecond);
    void coastDown();
    void coastToIdle();

    // One stretch of each drive; a mixed drive switches between them in blocks.
    void idleStep();
    void cityStep();
    void highwayStep();
    void pullStep();
    void startBlock();

    DriveKind m_kind;
    std::uint64_t m_seed;
    std::mt19937_64 m_random;
    std::vector<Segment> m_segments;
    DriveKind m_block;
    double m_blockEnd = 0;
};

}  // namespace tunalyx
