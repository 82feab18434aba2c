#include <gtest/gtest.h>

#include "link/com_port_choice.h"
#include "link/port_names.h"
#include "link/system_serial_port.h"
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

TEST_F(ComPortChoiceTest, OpenFailureGivesItsReasonOnTheNextLine) {
    port.setOpenFails(true, "You may not open /dev/ttyUSB2: ...");
    choice.mnuCom_Click(2);
    choice.chooseDevice("/dev/ttyACM0");
    EXPECT_EQ(prompts.texts(),
              (std::vector<std::string>{"Error opening Com3\nYou may not open /dev/ttyUSB2: ...",
                                        "Error opening /dev/ttyACM0\nYou may not open "
                                        "/dev/ttyUSB2: ..."}));
    EXPECT_EQ(choice.checkedPortNumber(), 0);
    EXPECT_EQ(choice.checkedDevice(), "");
}

TEST_F(ComPortChoiceTest, DeviceChosenByPathIsOneChoiceWithTheComItems) {
    choice.mnuCom_Click(1);
    choice.chooseDevice("/dev/ttyACM0");
    EXPECT_EQ(port.devicePath(), "/dev/ttyACM0");
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(choice.checkedDevice(), "/dev/ttyACM0");
    EXPECT_EQ(choice.checkedPortNumber(), 0);  // the Com item went off
    EXPECT_EQ(port.writes().size(), 2u);       // a wake-up for each

    choice.mnuCom_Click(3);  // back to a number: the path no longer applies
    EXPECT_EQ(port.devicePath(), "");
    EXPECT_EQ(port.portNumber(), 4);
    EXPECT_EQ(choice.checkedDevice(), "");

    choice.chooseDevice("/dev/ttyACM0");
    choice.chooseDevice("/dev/ttyACM0");  // chosen again: the link goes off
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(choice.checkedDevice(), "");
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

// Windows' own lists hold other devices, may name a port twice and are in no order.
TEST(PortNames, WindowsListsEachComPortOnceByNumber) {
    std::vector<std::string> devices;
    for (const PresentPort& p :
         comPortsByNumber({"COM10", "LPT1", "com2", "CONOUT$", "COM2", "COMX", "COM1"}))
        devices.push_back(p.device);
    EXPECT_EQ(devices, (std::vector<std::string>{"COM1", "COM2", "COM10"}));
}

TEST(PortNames, OpenProblemsSayWhatToDo) {
    const std::string denied =
        portOpenProblem(PortOpenError::NoPermission, "/dev/ttyUSB0", "dialout", "", false);
    EXPECT_EQ(denied,
              "You may not open /dev/ttyUSB0: only members of the group dialout may. Add "
              "yourself with \"sudo usermod -a -G dialout $USER\", then log out and in again.");
    // Other systems name the group otherwise; a root-only device has no group to join.
    EXPECT_NE(portOpenProblem(PortOpenError::NoPermission, "/dev/ttyS0", "uucp", "", false)
                  .find("-G uucp $USER"),
              std::string::npos);
    EXPECT_EQ(portOpenProblem(PortOpenError::NoPermission, "/dev/ttyS0", "root", "", false),
              "You may not open /dev/ttyS0: only its owner may.");
    EXPECT_EQ(portOpenProblem(PortOpenError::NoPermission, "COM3", "", "", true).find("usermod"),
              std::string::npos);
    EXPECT_EQ(portOpenProblem(PortOpenError::InUse, "/dev/ttyUSB0", "dialout", "", false),
              "/dev/ttyUSB0 is in use by another program.");
    EXPECT_NE(
        portOpenProblem(PortOpenError::NotFound, "/dev/ttyUSB3", "", "", false).find("plugged in"),
        std::string::npos);
    EXPECT_EQ(
        portOpenProblem(PortOpenError::Other, "/dev/pts/9", "tty", "Input/output error", false),
        "/dev/pts/9: Input/output error");
}

TEST(PortNames, PresentDevicesBecomeMenuItems) {
    MemorySettingsStore store;
    store.setValue("ComDevice3", "/dev/ttyACM0");
    const auto items = portMenuDevices(
        {{"/dev/ttyUSB0", "FT232R USB UART"}, {"/dev/ttyACM0", ""}, {"/dev/ttyUSB9", "CH340"}},
        store, false);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].caption, "/dev/ttyUSB0  FT232R USB UART (Com1)");
    EXPECT_EQ(items[0].comNumber, 1);
    EXPECT_EQ(items[1].caption, "/dev/ttyACM0 (Com3)");
    EXPECT_EQ(items[1].comNumber, 3);
    EXPECT_EQ(items[2].caption, "/dev/ttyUSB9  CH340");  // beyond Com8's default device
    EXPECT_EQ(items[2].comNumber, 0);

    const auto windows = portMenuDevices({{"COM4", "USB Serial Port"}, {"COM12", ""}}, store, true);
    EXPECT_EQ(windows[0].comNumber, 4);
    EXPECT_EQ(windows[1].comNumber, 0);
}

}  // namespace
}  // namespace tunalyx
