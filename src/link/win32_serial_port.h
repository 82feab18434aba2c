#pragma once

#include <cstdint>
#include <string>

#include "ports/bytes.h"
#include "ports/serial_port.h"
#include "ports/settings_store.h"

namespace tunalyx {

// The serial port through the Win32 communications API: 57600 baud, 8N1, no handshaking, a
// 1024-byte receive buffer. Port n is "COMn"; --port takes "COMn" or a device path. A line that
// refuses modem control (DTR/RTS: virtual ports, emulators) still works.
class Win32SerialPort final : public SerialPort {
public:
    explicit Win32SerialPort(const SettingsStore& store) : m_store(store) {}
    ~Win32SerialPort() override { close(); }
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    void setPortNumber(int n) override { m_number = n; }
    [[nodiscard]] int portNumber() const override { return m_number; }
    // An explicit device (command line --port) wins over the port number.
    void setDevicePath(const std::string& path) override { m_devicePath = path; }
    [[nodiscard]] std::string deviceName() const override;

    [[nodiscard]] bool open() override;
    [[nodiscard]] std::string openFailureReason() const override { return m_openFailure; }
    void close() override;
    [[nodiscard]] bool isOpen() const override { return m_handle != nullptr; }

    [[nodiscard]] std::optional<std::size_t> bytesAvailable() override;
    [[nodiscard]] bool waitForBytes(std::size_t count, std::int64_t timeoutMs) override;
    [[nodiscard]] std::optional<Bytes> read(std::size_t count) override;
    bool discardInput() override;
    bool write(const Bytes& bytes) override;

private:
    // Reads at most `count` bytes into m_held, waiting up to `waitMs` for all of them (0: only
    // what the driver holds already). False on a port error.
    [[nodiscard]] bool fetch(std::size_t count, std::uint32_t waitMs);
    [[nodiscard]] bool setReadWait(std::uint32_t waitMs);

    const SettingsStore& m_store;
    void* m_handle = nullptr;  // HANDLE; nullptr while closed
    int m_number = 1;
    std::string m_devicePath;
    std::string m_openFailure;
    // Bytes taken from the driver and not yet read by the caller.
    Bytes m_held;
    std::uint32_t m_readWait = 0xFFFFFFFFu;  // the read time-out the driver has now
};

}  // namespace tunalyx
