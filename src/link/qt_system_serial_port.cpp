#include <QSerialPortInfo>

#include "link/qt_serial_port.h"
#include "link/system_serial_port.h"

namespace tunalyx {

std::unique_ptr<SerialPort> makeSystemSerialPort(const SettingsStore& store) {
    return std::make_unique<QtSerialPort>(store);
}

std::vector<PresentPort> presentSerialPorts() {
    std::vector<PresentPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back({info.systemLocation().toStdString(), info.description().toStdString()});
    return ports;
}

}  // namespace tunalyx
