#include "app/qt_port_menu.h"

#include <QAction>

namespace tunalyx {

QtPortMenu::QtPortMenu(Session& session, const MainMenus& menus, MainWindowPorts ports,
                       QObject* parent)
    : QObject(parent),
      m_session(session),
      m_menus(menus),
      m_ports(ports),
      m_choice(ports.serial, session.link, session.prompts) {
    for (int i = 0; i < m_menus.mnuCom.size(); ++i)
        connect(m_menus.mnuCom[i], &QAction::triggered, this, [this, i] { mnuCom_Click(i); });
    if (m_menus.mnuSimulator)
        connect(m_menus.mnuSimulator, &QAction::triggered, this, &QtPortMenu::mnuSimulator_Click);
}

void QtPortMenu::openAtStart(long long storedComPort) {
    if (m_ports.simulator) {
        mnuSimulator_Click();
        return;
    }
    m_ports.selector.select(m_ports.serial);
    m_choice.openStoredPort(storedComPort);
    showPortChecks();
}

void QtPortMenu::mnuCom_Click(int index) {
    if (m_ports.simulator && m_ports.selector.isSelected(*m_ports.simulator)) {
        m_ports.simulator->close();
        m_menus.mnuSimulator->setChecked(false);
    }
    m_ports.selector.select(m_ports.serial);
    m_choice.mnuCom_Click(index);
    showPortChecks();
}

void QtPortMenu::showPortChecks() {
    for (int i = 0; i < m_menus.mnuCom.size(); ++i)
        m_menus.mnuCom[i]->setChecked(m_choice.isChecked(i));
}

void QtPortMenu::mnuSimulator_Click() {
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
