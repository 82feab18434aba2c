#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

#include "app/qt_main_menus.h"
#include "link/com_port_choice.h"
#include "link/port_names.h"
#include "link/serial_port_selector.h"
#include "session/session.h"

namespace tunalyx {

// What the main window is wired to. `simulator` is the port of the built-in simulated unit,
// or null when the program runs on the real serial port only.
struct MainWindowPorts {
    SerialPortSelector& selector;
    SerialPort& serial;
    SerialPort* simulator = nullptr;
};

// Setup > Port: the eight Com items, with --simulate the "Simulator" item, and below them the
// serial devices present (listed afresh each time the menu opens); at most one is checked, the
// one whose port is open.
class QtPortMenu final : public QObject {
public:
    QtPortMenu(Session& session, const SettingsStore& store, const MainMenus& menus,
               MainWindowPorts ports, QObject* parent = nullptr);

    // Start-up: the simulated unit when there is one (the stored port is left as it is),
    // otherwise the stored device when one was chosen by path, otherwise the stored port
    // number when it is 1..8.
    void openAtStart(long long storedComPort, const std::string& storedDevice);
    // Number (1..8) of the checked Com item, 0 when none is.
    [[nodiscard]] int checkedPortNumber() const { return m_choice.checkedPortNumber(); }
    // The device chosen by path and open, "" otherwise.
    [[nodiscard]] const std::string& checkedDevice() const { return m_choice.checkedDevice(); }

    // Runs before the port changes (a live-data run ends first: its worker has the line).
    std::function<void()> beforeChange;

    // The serial devices present; the system's list unless a test stands in for it.
    std::function<std::vector<PresentPort>()> presentPorts;

    // Rebuilds the device items (the menu does it when it opens).
    void listDevices();
    void chooseDevice(const std::string& device);

private:
    void mnuCom_Click(int index);
    void mnuSimulator_Click();
    void leaveSimulator();
    void showPortChecks();

    Session& m_session;
    const SettingsStore& m_store;
    const MainMenus& m_menus;
    MainWindowPorts m_ports;
    ComPortChoice m_choice;
    QAction* m_noDevices = nullptr;
    std::vector<PortMenuDevice> m_devices;
    std::vector<QAction*> m_deviceItems;  // one for each of m_devices
};

}  // namespace tunalyx
