#include <gtest/gtest.h>

#include "graph/map_graph.h"
#include "session/session.h"
#include "support/recording_prompts.h"
#include "support/scripted_serial_port.h"

namespace tunalyx {
namespace {

struct MapGraphTest : ::testing::Test {
    MapGraphTest() {
        session.maps.GridInit();
        session.maps.GridSetData(kInjMap, 3, 7, 1);  // 0.50390625 shows as "0.504"
        session.maps.GridSetData(kInjMap, 7, 3, 255);
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col)
                session.maps.GridSetData(kIgnMap, row, col, 2 + row * 11 + col);
    }
    ManualClock clock;
    test::ScriptedSerialPort serial{clock};
    test::RecordingPrompts prompts;
    Session session{serial, clock, prompts};
};

TEST_F(MapGraphTest, ValuesAreTheGridTextsRowByColumn) {
    const GraphValues inj = graphValues(session, kInjMap);
    EXPECT_EQ(inj[2][6], 0.504f);
    EXPECT_EQ(inj[6][2], 1.496f);
    session.maps.setLocale({','});
    session.codec.setLocale({','});
    EXPECT_EQ(graphValues(session, kInjMap)[2][6], 0.504f);  // the grid shows "0,504"
}

TEST_F(MapGraphTest, IgnAfterInjReplacesAll400Values) {
    const GraphValues inj = graphValues(session, kInjMap);
    const GraphValues ign = graphValues(session, kIgnMap);
    for (std::size_t i = 0; i < kMapRows; ++i)
        for (std::size_t j = 0; j < kMapCols; ++j) {
            EXPECT_NE(ign[i][j], inj[i][j]) << i << "," << j;
            EXPECT_EQ(ign[i][j], static_cast<float>(2 + (i + 1) * 11 + j + 1)) << i << "," << j;
        }
}

}  // namespace
}  // namespace tunalyx
