#include "monitor/live_decode.h"

#include <gtest/gtest.h>

#include <memory>

namespace tunalyx {
namespace {

class LiveDecodeTest : public ::testing::Test {
protected:
    double value(int item) const { return sample.value[static_cast<std::size_t>(item)]; }

    TraceItems items;
    AuxCalibration aux;
    LiveSample sample;
};

TEST_F(LiveDecodeTest, DescriptorItemsWithTheBoostRule) {
    Bytes advanced(30, 0);
    advanced[0] = 0xB8;  // Rpm word 3000
    advanced[1] = 0x0B;
    advanced[12] = 25;    // IGN byte
    advanced[14] = 0x64;  // Boost word 0x8064: 100
    advanced[15] = 0x80;
    advanced[18] = 100;  // WtrT: 100 - 80
    decodeGroup(kGroupAdvanced, advanced, items, aux, sample);
    EXPECT_EQ(value(0), 3000);
    EXPECT_EQ(value(6), 25);
    EXPECT_EQ(value(8), 100);
    EXPECT_EQ(value(10), 20);

    // Basic reads words everywhere, even where the descriptor says byte-sized values.
    Bytes basic(20, 0);
    basic[10] = 700 & 0xFF;  // Boost 700: -60
    basic[11] = 700 >> 8;
    basic[14] = 0x50;  // WtrTemp word 0x0150 = 336: 256 after the offset
    basic[15] = 0x01;
    decodeGroup(kGroupBasic, basic, items, aux, sample);
    EXPECT_EQ(value(25), -60);
    EXPECT_EQ(value(27), 256);
    EXPECT_EQ(boostRule(760), 0);

    // A short reply reads as zeros, never past its end.
    decodeGroup(kGroupAdvanced, Bytes{0x10}, items, aux, sample);
    EXPECT_EQ(value(0), 16);
    EXPECT_EQ(value(8), -760);
}

TEST_F(LiveDecodeTest, SensorVoltagesFlagsAndSwitches) {
    Bytes sensors(18, 0);
    sensors[0] = 0xF4;  // AF-1: hi 0x81 lo 0xF4 = 5.00 with the flag
    sensors[1] = 0x81;
    sensors[2] = 0x64;   // AF-2: 1.00, no flag
    sensors[16] = 0x05;  // IGN and IDL
    sensors[17] = 0x80;  // the last switch bit of the second byte
    decodeGroup(kGroupSensor, sensors, items, aux, sample);
    EXPECT_FLOAT_EQ(value(30), 5.00F);
    EXPECT_TRUE(sample.sensorFlag[0]);
    EXPECT_FLOAT_EQ(value(31), 1.00F);
    EXPECT_FALSE(sample.sensorFlag[1]);
    EXPECT_EQ(value(38) + value(39) + value(40), 2);  // IGN, not STR, IDL
    EXPECT_EQ(value(40), 1);
    EXPECT_EQ(value(53), 1);

    clearGroup(kGroupSensor, items, sample);
    EXPECT_EQ(value(30), 0);
    EXPECT_FALSE(sample.sensorFlag[0]);
}

TEST_F(LiveDecodeTest, AuxVoltagesCalibrationAndDifferences) {
    aux.c1 = {2, 2, 1, 1};
    aux.c0 = {1, 1, 0.5, 0};
    decodeGroup(kGroupAux, Bytes{255, 0, 51, 102}, items, aux, sample);
    EXPECT_FLOAT_EQ(value(54), 5.0F);
    EXPECT_EQ(value(55), 0);
    EXPECT_DOUBLE_EQ(value(58), 2 * double(5.0F) + 1);
    EXPECT_DOUBLE_EQ(value(60), 1.5);

    // AN1 - AN2 of equal voltages leaves the offset; AN2's own items are untouched.
    aux.names.an1MinusAn2 = true;
    aux.c2 = {3, 0, 0, 0};
    decodeGroup(kGroupAux, Bytes{40, 40, 0, 0}, items, aux, sample);
    EXPECT_DOUBLE_EQ(value(58), 1);
    EXPECT_FLOAT_EQ(value(55), float(40 / 51.0));
    EXPECT_DOUBLE_EQ(value(59), 2 * double(float(40 / 51.0)) + 1);
    // AN3 - AN4 is AN3's: 2 V - 1 V calibrated, and AN4 stays itself.
    aux.names.an3MinusAn4 = true;
    decodeGroup(kGroupAux, Bytes{40, 40, 102, 51}, items, aux, sample);
    EXPECT_DOUBLE_EQ(value(60), 1.5);
    EXPECT_DOUBLE_EQ(value(61), 1);

    decodeGroup(kGroupMap, Bytes{7, 19}, items, aux, sample);
    EXPECT_EQ(value(62), 7);
    EXPECT_EQ(value(63), 19);
}

TEST(RecalculateAuxLog, UsesEachPairsDifferenceAndTheSquare) {
    auto log = std::make_unique<LogStore>();
    const TraceItems items;
    AuxCalibration aux;
    aux.names.an1MinusAn2 = aux.names.an3MinusAn4 = true;
    aux.c2 = {0, 0, 0.5, 0};
    aux.c1 = {2, 1, 1, 3};
    aux.c0 = {10, 0, 1, 0};
    for (int s = 0; s < 3; ++s)  // AN1..AN4 raw volts 3, 1, 4.5, 1.5 times the sample's number
        for (int k = 0; k < 4; ++k)
            log->setLogData(54 + k, s, std::array{3.0, 1.0, 4.5, 1.5}[std::size_t(k)] * (s + 1));
    recalculateAuxLog(*log, items, aux);  // no log: sample 0 only, and nothing to save
    // AN1 - AN2 is 2 V, AN2 is calibrated from its own volts, AN3 - AN4 is 3 V.
    EXPECT_EQ((std::array{log->LogData(58, 0), log->LogData(59, 0), log->LogData(60, 0),
                          log->LogData(61, 0), log->LogData(60, 1)}),
              (std::array<double, 5>{2 * 2.0 + 10, 1.0, 0.5 * 3 * 3 + 3 + 1, 3 * 1.5, 0}));
    EXPECT_FALSE(log->LogUnsaved);

    log->LogLast = 1;
    recalculateAuxLog(*log, items, aux);
    EXPECT_DOUBLE_EQ(log->LogData(60, 1), 0.5 * 6.0 * 6.0 + 6.0 + 1);
    EXPECT_TRUE(log->LogUnsaved);
}

}  // namespace
}  // namespace tunalyx
