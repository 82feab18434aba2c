#pragma once

#include "ports/serial_port.h"

namespace tunalyx {

// The port of a session that only works on files: it never opens, so a stray transaction fails
// at once instead of waiting for a unit.
class ClosedSerialPort final : public SerialPort {
public:
    void setPortNumber(int) override {}
    [[nodiscard]] int portNumber() const override { return 0; }
    [[nodiscard]] std::string deviceName() const override { return "(none)"; }
    [[nodiscard]] bool open() override { return false; }
    void close() override {}
    [[nodiscard]] bool isOpen() const override { return false; }
    [[nodiscard]] std::optional<std::size_t> bytesAvailable() override { return std::nullopt; }
    [[nodiscard]] bool waitForBytes(std::size_t, std::int64_t) override { return false; }
    [[nodiscard]] std::optional<Bytes> read(std::size_t) override { return std::nullopt; }
    bool discardInput() override { return false; }
    bool write(const Bytes&) override { return false; }
};

}  // namespace tunalyx
