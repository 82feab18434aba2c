#pragma once

#include "ports/serial_port.h"

namespace tunalyx {

// Counts the bytes that cross the port in each direction, to compare a transfer's time with the
// time its bytes need on the wire.
class CountingSerialPort final : public SerialPort {
public:
    explicit CountingSerialPort(SerialPort& inner) : m_inner(inner) {}

    [[nodiscard]] std::uint64_t bytesWritten() const { return m_written; }
    [[nodiscard]] std::uint64_t bytesRead() const { return m_read; }

    void setPortNumber(int n) override { m_inner.setPortNumber(n); }
    [[nodiscard]] int portNumber() const override { return m_inner.portNumber(); }
    [[nodiscard]] std::string deviceName() const override { return m_inner.deviceName(); }
    [[nodiscard]] bool open() override { return m_inner.open(); }
    void close() override { m_inner.close(); }
    [[nodiscard]] bool isOpen() const override { return m_inner.isOpen(); }
    [[nodiscard]] std::optional<std::size_t> bytesAvailable() override {
        return m_inner.bytesAvailable();
    }
    [[nodiscard]] bool waitForBytes(std::size_t count, std::int64_t timeoutMs) override {
        return m_inner.waitForBytes(count, timeoutMs);
    }
    [[nodiscard]] std::optional<Bytes> read(std::size_t count) override {
        auto bytes = m_inner.read(count);
        if (bytes) m_read += bytes->size();
        return bytes;
    }
    bool discardInput() override {
        // What a flush throws away crossed the wire all the same.
        if (const auto n = m_inner.bytesAvailable()) m_read += *n;
        return m_inner.discardInput();
    }
    bool write(const Bytes& bytes) override {
        m_written += bytes.size();
        return m_inner.write(bytes);
    }

private:
    SerialPort& m_inner;
    std::uint64_t m_written = 0;
    std::uint64_t m_read = 0;
};

}  // namespace tunalyx
