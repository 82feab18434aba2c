#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "ports/bytes.h"

namespace tunalyx {

// The serial line to the engine computer. Every operation reports a port error (no port open,
// device gone) instead of throwing; the packet link turns such an error into a failed transaction.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Port choice: number n (1..8) as the Setup > Port menu counts them.
    virtual void setPortNumber(int n) = 0;
    [[nodiscard]] virtual int portNumber() const = 0;
    // A readable name of the device behind the current choice ("/dev/ttyUSB0", "COM3").
    [[nodiscard]] virtual std::string deviceName() const = 0;
    // A device chosen by its path (one the system lists) instead of by number; "" goes back to
    // the number. Ports that are not real devices ignore it.
    virtual void setDevicePath(const std::string& /*path*/) {}

    [[nodiscard]] virtual bool open() = 0;
    // Why the last open failed, in words for the user (with what to do about it); "" when
    // there is nothing more to say than that it failed.
    [[nodiscard]] virtual std::string openFailureReason() const { return {}; }
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;

    // Bytes waiting in the receive buffer; nullopt on a port error.
    [[nodiscard]] virtual std::optional<std::size_t> bytesAvailable() = 0;
    // Blocks (never spins) until at least `count` bytes are buffered or `timeoutMs` has passed.
    // Returns false on a port error only; the caller checks the count and its own deadline.
    [[nodiscard]] virtual bool waitForBytes(std::size_t count, std::int64_t timeoutMs) = 0;
    // Exactly `count` bytes that are already buffered; nullopt on a port error or a short buffer.
    [[nodiscard]] virtual std::optional<Bytes> read(std::size_t count) = 0;
    // Reads and throws away everything buffered. False on a port error.
    virtual bool discardInput() = 0;
    // Writes all bytes in one output operation. False on a port error.
    virtual bool write(const Bytes& bytes) = 0;

    // A port tied to the thread it is used from (a Qt device) follows the live-data worker: the
    // thread that has it hands it on before another thread's first use, and nullptr hands it
    // back to the program's main thread. `thread` is the shell's own thread object; ports that
    // any thread may use ignore it.
    virtual void moveToThread(void* /*thread*/) {}
};

}  // namespace tunalyx
