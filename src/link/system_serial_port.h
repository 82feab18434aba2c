#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/port_names.h"
#include "ports/serial_port.h"
#include "ports/settings_store.h"

namespace tunalyx {

// The serial port of the system this is built for, so that no caller names the platform: the
// Win32 port on Windows, the Qt serial library's elsewhere.
[[nodiscard]] std::unique_ptr<SerialPort> makeSystemSerialPort(const SettingsStore& store);

// The serial devices present now, for the Setup > Port menu: on Windows the COM ports by number.
[[nodiscard]] std::vector<PresentPort> presentSerialPorts();

// The COM ports among the system's device names ("COM10", "com3", "LPT1", "CONOUT$"), once each
// and by number (COM2 before COM10), named "COMn".
[[nodiscard]] std::vector<PresentPort> comPortsByNumber(const std::vector<std::string>& names);

}  // namespace tunalyx
