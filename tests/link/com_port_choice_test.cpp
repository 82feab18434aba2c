#include <gtest/gtest.h>

#include "link/com_port_choice.h"
#include "link/port_names.h"
#include "ports/memory_settings_store.h"
#include "support/recording_prompts.h"
#include "support/scripted_serial_port.h"

namespace tunalyx {
namespace {

class ComPortChoiceTest : public ::testing::Test {
protected:
    void SetUp() override { port.close(); }
    ManualClock clock;
    test::ScriptedSerialPort port{clock};
    test::RecordingPrompts prompts;
    PacketLink link{port, clock, prompts};
    ComPortChoice choice{port, link, prompts};
};

TEST_F(ComPortChoiceTest, ChoosingAPortOpensItAndSendsTheWakeUp) {
    choice.mnuCom_Click(2);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 3);
    EXPECT_TRUE(choice.isChecked(2));
    EXPECT_EQ(choice.checkedPortNumber(), 3);
    EXPECT_EQ(port.writes().size(), 1u);  // the wake-up

    choice.mnuCom_Click(4);  // another port: the first is closed, only the new one is checked
    EXPECT_EQ(port.portNumber(), 5);
    EXPECT_FALSE(choice.isChecked(2));
    EXPECT_EQ(choice.checkedPortNumber(), 5);
}

TEST_F(ComPortChoiceTest, ChoosingTheCheckedPortAgainSwitchesTheLinkOff) {
    choice.mnuCom_Click(0);
    choice.mnuCom_Click(0);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(choice.checkedPortNumber(), 0);
    EXPECT_EQ(port.writes().size(), 1u);
}

TEST_F(ComPortChoiceTest, PortThatCannotBeOpenedIsReportedByNumber) {
    choice.mnuCom_Click(0);
    port.setOpenFails(true);
    choice.mnuCom_Click(2);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Error opening Com3"});
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(choice.checkedPortNumber(), 0);
}

TEST_F(ComPortChoiceTest, StoredPortOutsideOneToEightOpensNothing) {
    for (long long stored : {0LL, 9LL, -1LL}) {
        choice.openStoredPort(stored);
        EXPECT_EQ(port.opens(), 0) << stored;
    }
    choice.openStoredPort(8);
    EXPECT_EQ(choice.checkedPortNumber(), 8);
}

TEST(PortNames, NumberMapsToTheSystemsDeviceName) {
    MemorySettingsStore store;
    EXPECT_EQ(portDeviceName(1, store, false), "/dev/ttyUSB0");  // Com1 is the first adapter
    store.setValue("ComDevice2", "/dev/ttyS0");
    EXPECT_EQ(portDeviceName(2, store, false), "/dev/ttyS0");
    EXPECT_EQ(portDeviceName(2, store, true), "COM2");
    EXPECT_EQ(comPortNumber("com12"), 12);
    for (const char* notCom : {"/dev/ttyUSB0", "COM", "COM1x"})
        EXPECT_EQ(comPortNumber(notCom), 0) << notCom;
    // A name with a slash or of an existing file is opened as a path, not looked up in /dev.
    EXPECT_TRUE(isDevicePath("good.dat", true));
    EXPECT_TRUE(isDevicePath("pts/7", false));
    EXPECT_FALSE(isDevicePath("ttyUSB0", false));
}

TEST(LinkSettingsTest, ReadFromTheStoreWithDefaults) {
    MemorySettingsStore store;
    store.setValue("ComTimeOutTicks", " 250");
    store.setValue("ComRetries", "zero");
    EXPECT_EQ(LinkSettings::fromStore(store).comTimeOutTicks, 250);
    EXPECT_EQ(LinkSettings::fromStore(store).comRetries, 3);
}

}  // namespace
}  // namespace tunalyx
