#include "link/port_names.h"

#include <cctype>

namespace tunalyx {

std::string portDeviceName(int n, const SettingsStore& store, bool windows) {
    if (windows) return "COM" + std::to_string(n);
    if (auto custom = store.value("ComDevice" + std::to_string(n)); custom && !custom->empty())
        return *custom;
    return "/dev/ttyUSB" + std::to_string(n - 1);
}

bool isDevicePath(const std::string& name, bool existsAsFile) {
    return existsAsFile || name.find('/') != std::string::npos;
}

int comPortNumber(const std::string& name) {
    if (name.size() < 4) return 0;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])) || n > 255) return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

std::string chosenPortDevice(int number, const std::string& devicePath, const SettingsStore& store,
                             bool windows) {
    if (devicePath.empty()) return portDeviceName(number, store, windows);
    if (const int n = comPortNumber(devicePath); n > 0) return portDeviceName(n, store, windows);
    return devicePath;
}

std::string portOpenProblem(PortOpenError error, const std::string& device,
                            const std::string& group, const std::string& systemText, bool windows) {
    switch (error) {
        case PortOpenError::NotFound:
            return device + " is not there: is the interface cable plugged in?";
        case PortOpenError::NoPermission:
            if (windows)
                return device +
                       " is in use by another program, or Windows does not let you open "
                       "it.";
            if (group.empty() || group == "root")
                return "You may not open " + device + ": only its owner may.";
            return "You may not open " + device + ": only members of the group " + group +
                   " may. Add yourself with \"sudo usermod -a -G " + group +
                   " $USER\", then log out and in again.";
        case PortOpenError::InUse:
            return device + " is in use by another program.";
        case PortOpenError::Other:
            break;
    }
    return systemText.empty() ? device + " could not be opened." : device + ": " + systemText;
}

std::string openFailedText(const std::string& name, const std::string& reason) {
    // The first line is the one users and their scripts know; the reason comes under it.
    return reason.empty() ? "Error opening " + name : "Error opening " + name + "\n" + reason;
}

std::vector<PortMenuDevice> portMenuDevices(const std::vector<PresentPort>& present,
                                            const SettingsStore& store, bool windows) {
    std::vector<PortMenuDevice> items;
    for (const PresentPort& p : present) {
        PortMenuDevice item{p.device, p.device, 0};
        for (int n = 1; n <= 8 && item.comNumber == 0; ++n)
            if (portDeviceName(n, store, windows) == p.device) item.comNumber = n;
        if (!p.description.empty()) item.caption += "  " + p.description;
        if (item.comNumber != 0) item.caption += " (Com" + std::to_string(item.comNumber) + ")";
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace tunalyx
