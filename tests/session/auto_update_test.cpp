#include "session/auto_update.h"

#include <gtest/gtest.h>

namespace tunalyx {
namespace {

TEST(AutoUpdate, RunsOnceHalfASecondAfterTheLastEdit) {
    AutoUpdate a;
    a.UpdateEnable(0);  // without Auto Update an edit only enables the button
    EXPECT_TRUE(a.updateEnabled());
    EXPECT_FALSE(a.dueAtMs());
    a.optAutoUpdate_Click(true, 100);  // checked while enabled: starts at once
    EXPECT_EQ(a.dueAtMs(), 600);
    a.UpdateEnable(300);
    a.UpdateEnable(600);  // each edit counts afresh
    EXPECT_EQ(a.dueAtMs(), 1100);
    EXPECT_TRUE(a.TimerUpdate_Timer());
    EXPECT_FALSE(a.TimerUpdate_Timer());  // once
}

TEST(AutoUpdate, CheckingWithNothingToSendWaitsAndClearingLetsTheTimerFire) {
    AutoUpdate a;
    a.optAutoUpdate_Click(true, 0);
    EXPECT_FALSE(a.dueAtMs());
    a.UpdateEnable(50);
    a.optAutoUpdate_Click(false, 60);
    EXPECT_TRUE(a.TimerUpdate_Timer());
    a.UpdateEnable(700);
    EXPECT_FALSE(a.dueAtMs());
}

}  // namespace
}  // namespace tunalyx
