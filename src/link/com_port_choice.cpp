#include "link/com_port_choice.h"

#include "link/port_names.h"

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
    uncheckAll();
    m_port.setDevicePath({});
    m_port.setPortNumber(index + 1);
    if (openAs("Com" + std::to_string(index + 1))) m_checked[index] = true;
}

void ComPortChoice::chooseDevice(const std::string& device) {
    if (device.empty()) return;
    if (m_port.isOpen()) m_port.close();
    if (m_checkedDevice == device) {
        m_checkedDevice.clear();
        return;
    }
    uncheckAll();
    m_port.setDevicePath(device);
    if (openAs(device)) m_checkedDevice = device;
}

bool ComPortChoice::openAs(const std::string& name) {
    if (!m_port.open()) {
        m_prompts.tell(openFailedText(name, m_port.openFailureReason()), MessageIcon::Critical);
        return false;
    }
    m_link.wakeUp();
    return true;
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
