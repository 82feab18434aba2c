#pragma once

#include <QObject>
#include <functional>

namespace tunalyx {

// SIGTERM and SIGHUP (a logout, a shutdown, `kill`) as a call on the event loop, so that the
// program ends as it does from its menu instead of dying mid-run. The handler only writes a byte
// to a pipe; a socket notifier reads it on the window thread. On Windows a logout or shutdown
// asks the program to commit its data first: that request is the stop there.
class QtStopSignals final : public QObject {
public:
    explicit QtStopSignals(std::function<void()> stop, QObject* parent = nullptr);
    ~QtStopSignals() override;
    QtStopSignals(const QtStopSignals&) = delete;
    QtStopSignals& operator=(const QtStopSignals&) = delete;

private:
    std::function<void()> m_stop;
};

}  // namespace tunalyx
