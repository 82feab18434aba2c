#pragma once

#include <QSerialPort>

#include "ports/serial_port.h"
#include "ports/settings_store.h"

namespace tunalyx {

// The real serial port: 57600 baud, no parity, 8 data bits, 1 stop bit, no handshaking and a
// 1024-byte receive buffer. Port n is "COMn" on Windows; elsewhere "ComDevice<n>" from the
// settings, or /dev/ttyUSB<n-1>.
class QtSerialPort final : public SerialPort {
public:
    explicit QtSerialPort(const SettingsStore& store) : m_store(store) {}

    void setPortNumber(int n) override { m_number = n; }
    [[nodiscard]] int portNumber() const override { return m_number; }
    // An explicit device (command line --port) wins over the port number.
    void setDevicePath(const std::string& path) override { m_devicePath = path; }
    [[nodiscard]] std::string deviceName() const override;

    [[nodiscard]] bool open() override;
    [[nodiscard]] std::string openFailureReason() const override { return m_openFailure; }
    void close() override { m_port.close(); }
    [[nodiscard]] bool isOpen() const override { return m_port.isOpen(); }

    [[nodiscard]] std::optional<std::size_t> bytesAvailable() override;
    [[nodiscard]] bool waitForBytes(std::size_t count, std::int64_t timeoutMs) override;
    [[nodiscard]] std::optional<Bytes> read(std::size_t count) override;
    bool discardInput() override;
    bool write(const Bytes& bytes) override;
    void moveToThread(void* thread) override;

private:
    [[nodiscard]] bool healthy();

    const SettingsStore& m_store;
    QSerialPort m_port;
    int m_number = 1;
    std::string m_devicePath;
    std::string m_openFailure;
};

}  // namespace tunalyx
