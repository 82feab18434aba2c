#pragma once

#include <array>
#include <string>

#include "link/packet_link.h"

namespace tunalyx {

// The Setup > Port menu: eight items, at most one checked, checked exactly while the port is open.
class ComPortChoice {
public:
    static constexpr int kPortCount = 8;

    ComPortChoice(SerialPort& port, PacketLink& link, UserPrompts& prompts);

    // Index 0..7 chooses port Index + 1; choosing the checked item again switches the link off.
    void mnuCom_Click(int index);
    // A device the system lists, opened by its path, with the same rules: choosing it again
    // switches the link off.
    void chooseDevice(const std::string& device);
    // The device chosen by path while it is open, "" otherwise.
    [[nodiscard]] const std::string& checkedDevice() const { return m_checkedDevice; }
    // Start-up: opens stored port n when it is 1..8; any other number leaves the port closed.
    void openStoredPort(long long comPort);

    [[nodiscard]] bool isChecked(int index) const;
    // Number (1..8) of the checked item, or 0 when none is.
    [[nodiscard]] int checkedPortNumber() const;
    // Unchecks every item without touching the port (another link took over, e.g. the simulator).
    void uncheckAll() {
        m_checked.fill(false);
        m_checkedDevice.clear();
    }

private:
    SerialPort& m_port;
    PacketLink& m_link;
    UserPrompts& m_prompts;
    // Opens the port as chosen; on failure says so under `name` with the reason.
    bool openAs(const std::string& name);

    std::array<bool, kPortCount> m_checked{};
    std::string m_checkedDevice;
};

}  // namespace tunalyx
