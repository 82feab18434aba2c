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

}  // namespace tunalyx
