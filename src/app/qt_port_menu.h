#pragma once

#include <QObject>

#include "app/qt_main_menus.h"
#include "link/com_port_choice.h"
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

// Setup > Port: the eight Com items and, with --simulate, the "Simulator" item, of which at most
// one is checked, the one whose port is open.
class QtPortMenu final : public QObject {
public:
    QtPortMenu(Session& session, const MainMenus& menus, MainWindowPorts ports,
               QObject* parent = nullptr);

    // Start-up: the simulated unit when there is one (the stored port is left as it is),
    // otherwise the stored port number when it is 1..8.
    void openAtStart(long long storedComPort);
    // Number (1..8) of the checked Com item, 0 when none is.
    [[nodiscard]] int checkedPortNumber() const { return m_choice.checkedPortNumber(); }

private:
    void mnuCom_Click(int index);
    void mnuSimulator_Click();
    void showPortChecks();

    Session& m_session;
    const MainMenus& m_menus;
    MainWindowPorts m_ports;
    ComPortChoice m_choice;
};

}  // namespace tunalyx
