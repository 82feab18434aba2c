#pragma once

#include <string>

#include "ports/settings_store.h"

namespace tunalyx {

// Device behind port number n: "COMn" on Windows; elsewhere the stored "ComDevice<n>" when set,
// otherwise /dev/ttyUSB<n-1> (the usual name of a USB serial adapter on Linux).
[[nodiscard]] std::string portDeviceName(int n, const SettingsStore& store, bool windows);

// "COM3" -> 3 (any case); 0 when the text is not of that form.
[[nodiscard]] int comPortNumber(const std::string& name);

// A device name with a slash, or one naming a file that exists, is a path to open as it is
// (relative to the working folder); any other name ("ttyUSB0") is looked up among the system's
// devices by the serial library.
[[nodiscard]] bool isDevicePath(const std::string& name, bool existsAsFile);

}  // namespace tunalyx
