#include "app/qt_port_menu.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

#include "link/system_serial_port.h"

namespace tunalyx {

QtPortMenu::QtPortMenu(Session& session, const SettingsStore& store, const MainMenus& menus,
                       MainWindowPorts ports, QObject* parent)
    : QObject(parent),
      presentPorts(presentSerialPorts),
      m_session(session),
      m_store(store),
      m_menus(menus),
      m_ports(ports),
      m_choice(ports.serial, session.link, session.prompts) {
    for (int i = 0; i < m_menus.mnuCom.size(); ++i)
        connect(m_menus.mnuCom[i], &QAction::triggered, this, [this, i] { mnuCom_Click(i); });
    if (m_menus.mnuSimulator)
        connect(m_menus.mnuSimulator, &QAction::triggered, this, &QtPortMenu::mnuSimulator_Click);
    // Adapters come and go: the list below this line is the one of the moment the menu opens.
    m_menus.port->addSeparator();
    m_noDevices = m_menus.port->addAction(tr("No serial ports found"));
    m_noDevices->setEnabled(false);
    m_noDevices->setVisible(false);
    connect(m_menus.port, &QMenu::aboutToShow, this, &QtPortMenu::listDevices);
}

void QtPortMenu::openAtStart(long long storedComPort, const std::string& storedDevice) {
    if (m_ports.simulator) {
        mnuSimulator_Click();
        return;
    }
    m_ports.selector.select(m_ports.serial);
    if (!storedDevice.empty())
        m_choice.chooseDevice(storedDevice);
    else
        m_choice.openStoredPort(storedComPort);
    showPortChecks();
}

void QtPortMenu::leaveSimulator() {
    if (m_ports.simulator && m_ports.selector.isSelected(*m_ports.simulator)) {
        m_ports.simulator->close();
        m_menus.mnuSimulator->setChecked(false);
    }
    m_ports.selector.select(m_ports.serial);
}

void QtPortMenu::mnuCom_Click(int index) {
    if (beforeChange) beforeChange();
    leaveSimulator();
    m_choice.mnuCom_Click(index);
    showPortChecks();
}

void QtPortMenu::chooseDevice(const std::string& device) {
    if (beforeChange) beforeChange();
    const auto item = std::find_if(m_devices.begin(), m_devices.end(),
                                   [&](const PortMenuDevice& d) { return d.device == device; });
    // A device a Com item stands for is that Com item.
    if (item != m_devices.end() && item->comNumber > 0) {
        mnuCom_Click(item->comNumber - 1);
        return;
    }
    leaveSimulator();
    m_choice.chooseDevice(device);
    showPortChecks();
}

void QtPortMenu::listDevices() {
    for (QAction* a : m_deviceItems) {
        m_menus.port->removeAction(a);
        a->deleteLater();
    }
    m_deviceItems.clear();
    m_devices = portMenuDevices(presentPorts(), m_store, kWindowsPortNames);
    m_noDevices->setVisible(m_devices.empty());
    for (const PortMenuDevice& d : m_devices) {
        QAction* a = m_menus.port->addAction(
            QString::fromStdString(d.caption).replace(QLatin1Char('&'), QLatin1String("&&")));
        a->setObjectName(QStringLiteral("mnuDevice"));
        a->setCheckable(true);
        const std::string device = d.device;
        connect(a, &QAction::triggered, this, [this, device] { chooseDevice(device); });
        m_deviceItems.push_back(a);
    }
    showPortChecks();
}

void QtPortMenu::showPortChecks() {
    for (int i = 0; i < m_menus.mnuCom.size(); ++i)
        m_menus.mnuCom[i]->setChecked(m_choice.isChecked(i));
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        const PortMenuDevice& d = m_devices[i];
        m_deviceItems[i]->setChecked(d.comNumber > 0 ? m_choice.isChecked(d.comNumber - 1)
                                                     : m_choice.checkedDevice() == d.device);
    }
}

void QtPortMenu::mnuSimulator_Click() {
    if (beforeChange) beforeChange();
    // Like a Com item: choosing it again while it is in use switches the link off.
    const bool wasInUse =
        m_ports.selector.isSelected(*m_ports.simulator) && m_ports.simulator->isOpen();
    if (m_ports.serial.isOpen()) m_ports.serial.close();
    m_choice.uncheckAll();
    showPortChecks();
    m_ports.selector.select(*m_ports.simulator);
    if (wasInUse) {
        m_ports.simulator->close();
        m_menus.mnuSimulator->setChecked(false);
        return;
    }
    const bool opened = m_ports.simulator->open();
    if (opened) m_session.link.wakeUp();
    m_menus.mnuSimulator->setChecked(opened);
}

}  // namespace tunalyx
