#include "link/com_port_choice.h"

#include <string>

namespace tunalyx {

ComPortChoice::ComPortChoice(SerialPort& port, PacketLink& link, UserPrompts& prompts)
    : m_port(port), m_link(link), m_prompts(prompts) {}

void ComPortChoice::mnuCom_Click(int index) {
    if (index < 0 || index >= kPortCount) return;
    if (m_port.isOpen()) m_port.close();
    if (m_checked[index]) {
        m_checked[index] = false;
        return;
    }
    m_checked.fill(false);
    m_port.setPortNumber(index + 1);
    if (!m_port.open()) {
        m_prompts.tell("Error opening Com" + std::to_string(index + 1), MessageIcon::Critical);
        return;
    }
    m_link.wakeUp();
    m_checked[index] = true;
}

void ComPortChoice::openStoredPort(long long comPort) {
    if (comPort >= 1 && comPort <= kPortCount) mnuCom_Click(static_cast<int>(comPort - 1));
}

bool ComPortChoice::isChecked(int index) const {
    return index >= 0 && index < kPortCount && m_checked[index];
}

int ComPortChoice::checkedPortNumber() const {
    for (int i = 0; i < kPortCount; ++i)
        if (m_checked[i]) return i + 1;
    return 0;
}

}  // namespace tunalyx
