#include "auxinputs/aux_calibration.h"

#include <gtest/gtest.h>

#include <memory>

#include "ports/memory_settings_store.h"

namespace tunalyx {
namespace {

TEST(AuxCalibration, AnEmptyStoreGivesTheWideBandLineAndPlainVolts) {
    const MemorySettingsStore store;
    const AuxSettings settings = loadAuxSettings(store);
    EXPECT_EQ(settings.inputs[0].name, "Wide Band");
    EXPECT_EQ(settings.inputs[0].unit, "A/F");
    EXPECT_EQ(settings.inputs[3].name, "raw");
    const AuxSetup aux = auxSetupOf(settings);
    EXPECT_DOUBLE_EQ(aux.c1[0], 2);
    EXPECT_DOUBLE_EQ(aux.c0[0], 10);
    EXPECT_DOUBLE_EQ(aux.c1[1], 1);
    EXPECT_DOUBLE_EQ(aux.c0[1], 0);
    EXPECT_FALSE(aux.names.an1MinusAn2);
}

TEST(AuxCalibration, StoredRoundTripWithPolynomialAndDifferences) {
    MemorySettingsStore store;
    AuxSettings s = loadAuxSettings(store);
    s.inputs[2] = {"EGT", "C", 1, 4, 0, 1200, 0, 0, 0};
    s.inputs[3].poly2 = 0.5;  // a polynomial replaces the line
    s.inputs[3].poly1 = -2;
    s.inputs[3].poly0 = 3;
    s.delta = {true, false};
    saveAuxSettings(store, s);
    EXPECT_EQ(store.text("Aux3Volt2", ""), " 4");  // a leading blank when not negative
    EXPECT_EQ(store.text("Aux4Poly1", ""), "-2");
    EXPECT_EQ(store.text("Aux12Delta", ""), "1");

    const AuxSetup aux = auxSetupOf(loadAuxSettings(store));
    EXPECT_EQ(aux.names.names[2], "EGT");
    EXPECT_DOUBLE_EQ(aux.c1[2], 400);
    EXPECT_DOUBLE_EQ(aux.c0[2], -400);
    EXPECT_DOUBLE_EQ(aux.c2[3], 0.5);
    EXPECT_DOUBLE_EQ(aux.c1[3], -2);
    EXPECT_TRUE(aux.names.an1MinusAn2);
    EXPECT_FALSE(aux.names.an3MinusAn4);
}

TEST(AuxCalibration, EqualVoltsHaveNoLine) {
    EXPECT_FALSE(lineThrough(2, 2, 10, 20));
    const auto line = lineThrough(1, 3, 10, 20);
    ASSERT_TRUE(line);
    EXPECT_DOUBLE_EQ(line->slope, 5);
    EXPECT_DOUBLE_EQ(line->offset, 5);
}

TEST(AuxCalibration, RecalculatingTheLogUsesTheDifferenceAndMarksItUnsaved) {
    auto log = std::make_unique<LogStore>();
    const TraceItems items;
    AuxSetup aux;
    aux.names.an1MinusAn2 = true;
    aux.c1 = {2, 1, 1, 1};
    aux.c0 = {10, 0, 0, 0};
    log->setLogData(54, 0, 3.0);  // AN1 raw
    log->setLogData(55, 0, 1.0);  // AN2 raw
    recalculateAuxLog(*log, items, aux);
    EXPECT_DOUBLE_EQ(log->LogData(58, 0), 2 * (3.0 - 1.0) + 10);
    EXPECT_DOUBLE_EQ(log->LogData(59, 0), 1.0);  // AN2 from its own voltage
    EXPECT_FALSE(log->LogUnsaved);               // no log: sample 0 only

    log->LogLast = 1;
    recalculateAuxLog(*log, items, aux);
    EXPECT_TRUE(log->LogUnsaved);
}

}  // namespace
}  // namespace tunalyx
