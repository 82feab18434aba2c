#pragma once

#include "ports/serial_port.h"

namespace tunalyx {

// The port the link talks through: the real serial port or the built-in simulator, switched
// from the Setup > Port menu without the link or the operations noticing.
class SerialPortSelector final : public SerialPort {
public:
    explicit SerialPortSelector(SerialPort& initial) : m_current(&initial) {}

    void select(SerialPort& port) { m_current = &port; }
    [[nodiscard]] SerialPort& current() const { return *m_current; }
    [[nodiscard]] bool isSelected(const SerialPort& port) const { return m_current == &port; }

    void setPortNumber(int n) override { m_current->setPortNumber(n); }
    [[nodiscard]] int portNumber() const override { return m_current->portNumber(); }
    [[nodiscard]] std::string deviceName() const override { return m_current->deviceName(); }
    void setDevicePath(const std::string& path) override { m_current->setDevicePath(path); }
    [[nodiscard]] bool open() override { return m_current->open(); }
    [[nodiscard]] std::string openFailureReason() const override {
        return m_current->openFailureReason();
    }
    void close() override { m_current->close(); }
    [[nodiscard]] bool isOpen() const override { return m_current->isOpen(); }
    [[nodiscard]] std::optional<std::size_t> bytesAvailable() override {
        return m_current->bytesAvailable();
    }
    [[nodiscard]] bool waitForBytes(std::size_t count, std::int64_t timeoutMs) override {
        return m_current->waitForBytes(count, timeoutMs);
    }
    [[nodiscard]] std::optional<Bytes> read(std::size_t count) override {
        return m_current->read(count);
    }
    bool discardInput() override { return m_current->discardInput(); }
    bool write(const Bytes& bytes) override { return m_current->write(bytes); }
    void moveToThread(void* thread) override { m_current->moveToThread(thread); }

private:
    SerialPort* m_current;
};

}  // namespace tunalyx
