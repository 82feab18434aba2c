#include "transfer/write_risks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "autotune/live_auto_tune.h"
#include "autotune/target_afr.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "transfer/transfer_operations.h"

namespace tunalyx {
namespace {

using Lines = std::vector<std::string>;

void setCell(Tune& tune, int grid, int row, int col, std::int32_t raw) {
    const CellAddress at = cellAddress(tune.mapLayout.descriptor(grid), row, col);
    tune.image[at.block][static_cast<std::size_t>(at.byte) - 1] = static_cast<std::uint8_t>(raw);
}

std::int32_t cellOf(const Tune& tune, int grid, int row, int col) {
    const CellAddress at = cellAddress(tune.mapLayout.descriptor(grid), row, col);
    return tune.image[at.block][static_cast<std::size_t>(at.byte) - 1];
}

// The raw value nearest to a displayed one.
std::int32_t rawOf(const Tune& tune, int grid, double value) {
    const MapDescriptor& d = tune.mapLayout.descriptor(grid);
    return static_cast<std::int32_t>(std::lround((value - d.offset) / d.scale));
}

double valueOf(const Tune& tune, int grid, std::int32_t raw) {
    const MapDescriptor& d = tune.mapLayout.descriptor(grid);
    return raw * d.scale + d.offset;
}

void setWord(Tune& tune, std::uint8_t block, std::size_t index, int value) {
    tune.image[block][index] = static_cast<std::uint8_t>(value & 0xFF);
    tune.image[block][index + 1] = static_cast<std::uint8_t>(value >> 8);
}

// A family 5 unit read whole: the session holds what the unit holds.
class WriteRiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.port().open());
        session.maps.GridInit();
        ASSERT_TRUE(ops.cmdReadAll_Click());
        unit = session.tune();
        const MapAxes axes = *mapAxesOfBlock(unit.image[unit.mapLayout.MapRefBlock]);
        boost = boostRows(defaultTargetAfr(axes), axes);
        ASSERT_TRUE(boost[kBoostRow - 1] && !boost[kCruiseRow - 1]);
        sim.ecu().clearRequestLog();
    }
    Lines risks(const Tune& sent, const std::vector<std::uint8_t>& blocks) const {
        return writeRisks(unit, sent, boost, session.autoTuned, blocks);
    }
    Lines risks(const Tune& sent) const { return risks(sent, riskBlocks(unit)); }
    bool wroteAnything() {
        return std::ranges::any_of(sim.ecu().requests(),
                                   [](const Bytes& r) { return r.size() > 1; });
    }

    static constexpr int kBoostRow = 18, kCruiseRow = 3, kCol = 5;
    ManualClock clock;
    test::RecordingPrompts prompts;
    InProcessSimulator sim{SimUnitKind::Det1_501, clock};
    Session session{sim.port(), clock, prompts};
    TransferOperations ops{session};
    Tune unit;
    BoostRows boost{};
};

TEST_F(WriteRiskTest, BoostCellsLeanedOverFivePercentOrAdvancedOverTwoDegrees) {
    struct Case {
        int grid, row;
        double factor;  // of the Inj Map's value
        int degrees;    // added to the Ign Map's
        bool held;
    };
    for (const Case c : {Case{kInjMap, kBoostRow, 0.94, 0, true},
                         {kInjMap, kBoostRow, 0.96, 0, false},
                         {kInjMap, kCruiseRow, 0.80, 0, false},
                         {kIgnMap, kBoostRow, 1, 2, false},
                         {kIgnMap, kBoostRow, 1, 3, true},
                         {kIgnMap, kCruiseRow, 1, 6, false}}) {
        SCOPED_TRACE(std::to_string(c.grid) + " row " + std::to_string(c.row));
        Tune sent = unit;
        const std::int32_t old = cellOf(unit, c.grid, c.row, kCol);
        setCell(sent, c.grid, c.row, kCol,
                rawOf(unit, c.grid, valueOf(unit, c.grid, old) * c.factor) + c.degrees);
        const Lines found = risks(sent);
        ASSERT_EQ(found.size(), c.held ? 1u : 0u);
        if (!c.held) continue;
        const std::string cell = std::string(mapTabCaption(c.grid)) + " N05 P18: ";
        EXPECT_TRUE(found[0].starts_with(cell)) << found[0];
        if (c.grid == kIgnMap)
            EXPECT_EQ(found[0], cell + std::to_string(old) + " -> " + std::to_string(old + 3) +
                                    " degrees (+3)");
        else
            EXPECT_TRUE(found[0].ends_with(" %)")) << found[0];
    }
}

TEST(BoostRowsTest, FromTheTargetTableElseTheTopThirdOfTheLoadBreakpoints) {
    MapAxes rising;
    for (std::size_t r = 0; r < kMapAxisSize; ++r)
        rising.row[r] = 1000.0 + 600.0 * static_cast<double>(r);
    MapAxes falling = rising;
    std::reverse(falling.row.begin(), falling.row.end());
    MapField cruise{};
    for (auto& row : cruise)
        row.fill(14.7);
    MapField oneRich = cruise;
    oneRich[6][19] = 13.5;

    const auto rowsOf = [](const BoostRows& rows) {
        std::vector<int> out;
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (rows[r]) out.push_back(static_cast<int>(r) + 1);
        return out;
    };
    EXPECT_EQ(rowsOf(boostRows(oneRich, rising)), std::vector<int>{7});
    EXPECT_EQ(rowsOf(boostRows(cruise, rising)), (std::vector<int>{14, 15, 16, 17, 18, 19, 20}));
    EXPECT_EQ(rowsOf(boostRows(cruise, falling)), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(WriteRiskTest, RaisedCutsAndInjCellsNewlyAtTheMapsLimits) {
    Tune sent = unit;
    setWord(sent, 0x8B, 0, 8000);  // the rev limit, 7500 in the unit
    setWord(sent, 0x8B, 2, 1500);  // idle: no risk
    sent.image[0x91][7] += 10;     // Boost Max @ AirT 1
    setCell(sent, kInjMap, kCruiseRow, 1, 255);
    setCell(sent, kInjMap, kCruiseRow, 2, 0);
    const Lines found = risks(sent);
    ASSERT_EQ(found.size(), 4u);
    EXPECT_TRUE(found[0].starts_with("Inj Map N01 P03: ") &&
                found[0].ends_with(" -> 1.496, at the highest value the map holds"))
        << found[0];
    EXPECT_TRUE(found[1].ends_with(" -> 0.500, at the lowest value the map holds")) << found[1];
    EXPECT_TRUE(found[2].starts_with("Boost Max @ AirT 1: ")) << found[2];
    EXPECT_EQ(found[3], "Rev Limit: 7500 -> 8000 (+500)");
    // Only what the write sends is weighed: the Ign Map alone holds none of it.
    EXPECT_EQ(risks(sent, unit.mapLayout.mapBlocks(kIgnMap)), Lines{});

    setWord(sent, 0x8B, 0, 7000);
    EXPECT_EQ(risks(sent).size(), 3u);
}

TEST_F(WriteRiskTest, AutoTunedCellsPassUntilEditedByHand) {
    Tune sent = unit;
    const std::int32_t old = cellOf(unit, kInjMap, kBoostRow, kCol);
    const std::int32_t leaner = rawOf(unit, kInjMap, valueOf(unit, kInjMap, old) * 0.9);
    setCell(sent, kInjMap, kBoostRow, kCol, leaner);
    session.autoTuned.applied(kBoostRow, kCol, leaner);
    EXPECT_EQ(risks(sent), Lines{});
    setCell(sent, kInjMap, kBoostRow, kCol, leaner - 1);
    EXPECT_EQ(risks(sent).size(), 1u);
}

TEST(RiskQuestionTest, NamesTwentyRisksThenCountsTheRest) {
    Lines risks;
    for (int i = 1; i <= 23; ++i)
        risks.push_back("risk " + std::to_string(i));
    const std::string text = riskQuestion(risks);
    EXPECT_TRUE(text.starts_with(
        "This write would make the engine riskier than the tune the unit holds:\r\nrisk 1\r\n"));
    EXPECT_TRUE(text.ends_with("\r\nrisk 20\r\nand 3 more\r\nSend it anyway?")) << text;
    EXPECT_EQ(riskQuestion({"risk 1"}),
              "This write would make the engine riskier than the tune the unit holds:\r\nrisk "
              "1\r\nSend it anyway?");
}

TEST_F(WriteRiskTest, ANoToTheQuestionSendsNoByteAndKeepsEveryEditMarked) {
    const std::int32_t old = session.maps.GridData(kIgnMap, kBoostRow, kCol);
    ASSERT_TRUE(session.maps.GridSetData(kIgnMap, kBoostRow, kCol, old + 5));
    const std::uint8_t block = cellAddress(session.maps.descriptor(kIgnMap), kBoostRow, kCol).block;
    for (const auto& write : std::vector<std::function<bool()>>{
             [&] { return ops.cmdUpdate_Click(); }, [&] { return ops.cmdWriteAll_Click(); },
             [&] { return ops.cmdWriteMap_Click(kIgnMap); }}) {
        prompts.clear();
        EXPECT_FALSE(write());
        EXPECT_TRUE(ops.heldBack());
        ASSERT_EQ(prompts.messages().size(), 1u);
        EXPECT_EQ(prompts.messages()[0].buttons, MessageButtons::YesNoDefaultNo);
        EXPECT_TRUE(prompts.messages()[0].text.find("\r\nIgn Map N05 P18: ") != std::string::npos);
        EXPECT_FALSE(wroteAnything());
        EXPECT_TRUE(session.dirty.isSet(block));
        EXPECT_TRUE(session.maps.CellChanged(kIgnMap, kBoostRow, kCol));
    }
}

TEST_F(WriteRiskTest, AYesSendsAndTheUnitHoldsItThen) {
    const std::int32_t old = session.maps.GridData(kIgnMap, kBoostRow, kCol);
    ASSERT_TRUE(session.maps.GridSetData(kIgnMap, kBoostRow, kCol, old + 5));
    prompts.answerNext(MessageAnswer::Yes);
    EXPECT_TRUE(ops.cmdUpdate_Click());
    EXPECT_EQ(ops.acceptedRisks(), Lines{"Ign Map N05 P18: " + std::to_string(old) + " -> " +
                                         std::to_string(old + 5) + " degrees (+5)"});
    for (std::uint8_t b : session.maps.mapBlocks(kIgnMap))
        EXPECT_EQ(sim.ecu().blocks()[b], session.image[b]);

    // Weighed against what was sent: one degree more is no risk.
    prompts.clear();
    ASSERT_TRUE(session.maps.GridSetData(kIgnMap, kBoostRow, kCol, old + 6));
    EXPECT_TRUE(ops.cmdUpdate_Click());
    EXPECT_EQ(prompts.texts(), Lines{});
    EXPECT_EQ(ops.acceptedRisks(), Lines{});
}

// A session that has not read the unit weighs a write against its maps and cuts read first, or
// against the tune its caller knows the unit holds.
TEST_F(WriteRiskTest, WithNothingReadTheUnitIsReadUnlessTheCallerKnowsItsTune) {
    session.unitTune.reset();
    ASSERT_TRUE(session.maps.GridSetData(kIgnMap, kBoostRow, kCol,
                                         session.maps.GridData(kIgnMap, kBoostRow, kCol) + 5));
    EXPECT_FALSE(ops.cmdWriteAll_Click());
    EXPECT_TRUE(ops.heldBack());
    EXPECT_FALSE(wroteAnything());

    session.unitTune.reset();
    ops.unitTuneWhenUnknown = [](const Tune& identified) { return identified; };
    EXPECT_TRUE(ops.cmdWriteAll_Click());
    EXPECT_TRUE(wroteAnything());
}

TEST(LiveRiskTest, ALiveSessionAsksOnceBeforeLeaningBoostCells) {
    LogStore log;
    LiveAutoTune live(log);
    BoostRows boost{};
    boost[17] = true;
    AutoTuneProposal proposal;
    for (auto& row : proposal.cells)
        for (CellResult& c : row)
            c = {.oldRaw = 100, .newRaw = 90, .oldValue = 1.0, .newValue = 0.9};
    test::RecordingPrompts prompts;
    live.runStarted();

    AutoTuneProposal first = proposal;
    live.holdBackBoostLeaning(first, boost, prompts);  // No
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].buttons, MessageButtons::YesNoDefaultNo);
    EXPECT_EQ(first.cells[17][4].newRaw, 100);
    EXPECT_EQ(first.cells[16][4].newRaw, 90);
    AutoTuneProposal again = proposal;
    live.holdBackBoostLeaning(again, boost, prompts);
    EXPECT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(again.cells[17][4].newRaw, 100);

    live.runStarted();
    prompts.answerNext(MessageAnswer::Yes);
    AutoTuneProposal next = proposal;
    live.holdBackBoostLeaning(next, boost, prompts);
    EXPECT_EQ(prompts.messages().size(), 2u);
    EXPECT_EQ(next.cells[17][4].newRaw, 90);
}

}  // namespace
}  // namespace tunalyx
