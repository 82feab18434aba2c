#pragma once

#include <string>
#include <vector>

#include "ports/settings_store.h"

namespace tunalyx {

// Whether the system this is built for names its ports "COMn".
#ifdef _WIN32
inline constexpr bool kWindowsPortNames = true;
#else
inline constexpr bool kWindowsPortNames = false;
#endif

// Device behind port number n: "COMn" on Windows; elsewhere the stored "ComDevice<n>" when set,
// otherwise /dev/ttyUSB<n-1> (the usual name of a USB serial adapter on Linux).
[[nodiscard]] std::string portDeviceName(int n, const SettingsStore& store, bool windows);

// "COM3" -> 3 (any case); 0 when the text is not of that form.
[[nodiscard]] int comPortNumber(const std::string& name);

// The device a port opens: `devicePath` when one was chosen by path ("COM3" given so means port 3
// as the menu counts it), else port `number`'s.
[[nodiscard]] std::string chosenPortDevice(int number, const std::string& devicePath,
                                           const SettingsStore& store, bool windows);

// A device name with a slash, or one naming a file that exists, is a path to open as it is
// (relative to the working folder); any other name ("ttyUSB0") is looked up among the system's
// devices by the serial library.
[[nodiscard]] bool isDevicePath(const std::string& name, bool existsAsFile);

// Why a serial device could not be opened, as far as the system tells.
enum class PortOpenError { NotFound, NoPermission, InUse, Other };

// The line shown under "Error opening Com<n>": what went wrong and how to put it right.
// `group` is the group owning the device file (Linux), `systemText` the system's own words.
[[nodiscard]] std::string portOpenProblem(PortOpenError error, const std::string& device,
                                          const std::string& group, const std::string& systemText,
                                          bool windows);

// "Error opening <name>", with the port's reason on the next line when it gave one.
[[nodiscard]] std::string openFailedText(const std::string& name, const std::string& reason);

// A serial device the system reports as present, for the Setup > Port menu.
struct PresentPort {
    std::string device;       // "/dev/ttyUSB0", "COM4"
    std::string description;  // "FT232R USB UART"; may be empty
};

// One item of the Setup > Port menu below Com1..Com8.
struct PortMenuDevice {
    std::string device;
    std::string caption;  // "/dev/ttyACM0  USB Serial", "/dev/ttyUSB0  FT232R (Com1)"
    int comNumber = 0;    // 1..8 when a Com item already stands for this device, else 0
};

// The present devices as menu items, in the system's order: a device that Com n stands for
// says so and is chosen through Com n, so one port never shows as two choices.
[[nodiscard]] std::vector<PortMenuDevice> portMenuDevices(const std::vector<PresentPort>& present,
                                                          const SettingsStore& store, bool windows);

}  // namespace tunalyx
