#pragma once

#include <functional>
#include <thread>

namespace tunalyx {

// The thread a live run polls on, handed over by whoever starts the run: the window hands a Qt
// thread (a Qt serial port has to live on the thread that uses it), the command line and the
// tests a standard one.
class PollingThread {
public:
    virtual ~PollingThread() = default;
    // Calls `cycle` on the thread back to back until it returns false.
    virtual void start(std::function<bool()> cycle) = 0;
    // Returns once the last cycle has returned.
    virtual void join() = 0;
    // The shell's own object of the thread, for a port tied to threads (see
    // SerialPort::moveToThread); nullptr where the port need not move.
    [[nodiscard]] virtual void* handle() const { return nullptr; }
};

class StdPollingThread final : public PollingThread {
public:
    ~StdPollingThread() override { join(); }
    void start(std::function<bool()> cycle) override {
        join();
        m_thread = std::thread([cycle = std::move(cycle)] {
            while (cycle()) {
            }
        });
    }
    void join() override {
        if (m_thread.joinable()) m_thread.join();
    }

private:
    std::thread m_thread;
};

}  // namespace tunalyx
