#include "link/qt_serial_port.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include "link/port_names.h"

namespace tunalyx {

namespace {
constexpr qint64 kReceiveBufferSize = 1024;
constexpr int kWriteTimeoutMs = 1000;

// The serial library's error after a failed open, as the user should hear it.
std::string openProblem(const QSerialPort& port, const std::string& name) {
    QFileInfo file(QString::fromStdString(name));
    // A bare name ("ttyUSB0") is a device under /dev.
    if (!kWindowsPortNames && !file.exists())
        file.setFile(QStringLiteral("/dev/") + file.filePath());
    PortOpenError kind = PortOpenError::Other;
    switch (port.error()) {
        case QSerialPort::DeviceNotFoundError:
            kind = PortOpenError::NotFound;
            break;
        case QSerialPort::PermissionError:
            // The library says "permission" also for a device another program holds (busy, or
            // its lock file); only a device we may not read and write is a matter of rights.
            kind = !kWindowsPortNames && file.isReadable() && file.isWritable()
                       ? PortOpenError::InUse
                       : PortOpenError::NoPermission;
            break;
        default:
            break;
    }
    const bool exists = file.exists();
    return portOpenProblem(kind, exists ? file.absoluteFilePath().toStdString() : name,
                           exists ? file.group().toStdString() : std::string(),
                           port.errorString().toStdString(), kWindowsPortNames);
}

}  // namespace

std::string QtSerialPort::deviceName() const {
    return chosenPortDevice(m_number, m_devicePath, m_store, kWindowsPortNames);
}

bool QtSerialPort::open() {
    if (m_port.isOpen()) m_port.close();
    m_openFailure.clear();
    const std::string name = deviceName();
    const QFileInfo file(QString::fromStdString(name));
    // The serial library takes a bare name for a device under /dev; a path must be whole.
    m_port.setPortName(isDevicePath(name, file.exists()) ? file.absoluteFilePath()
                                                         : QString::fromStdString(name));
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_openFailure = openProblem(m_port, name);
        return false;
    }
    const bool configured =
        m_port.setBaudRate(QSerialPort::Baud57600) && m_port.setDataBits(QSerialPort::Data8) &&
        m_port.setParity(QSerialPort::NoParity) && m_port.setStopBits(QSerialPort::OneStop) &&
        m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_port.close();
        return false;
    }
    m_port.setReadBufferSize(kReceiveBufferSize);
    m_port.clear(QSerialPort::AllDirections);
    return true;
}

bool QtSerialPort::healthy() {
    if (!m_port.isOpen()) return false;
    const auto e = m_port.error();
    if (e == QSerialPort::TimeoutError) m_port.clearError();
    return e == QSerialPort::NoError || e == QSerialPort::TimeoutError;
}

std::optional<std::size_t> QtSerialPort::bytesAvailable() {
    if (!healthy()) return std::nullopt;
    return static_cast<std::size_t>(m_port.bytesAvailable());
}

bool QtSerialPort::waitForBytes(std::size_t count, std::int64_t timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (healthy() && static_cast<std::size_t>(m_port.bytesAvailable()) < count) {
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0) return true;
        // Blocks in the system's wait for input; returns early when bytes come.
        if (!m_port.waitForReadyRead(static_cast<int>(remaining))) return healthy();
    }
    return healthy();
}

std::optional<Bytes> QtSerialPort::read(std::size_t count) {
    if (!healthy() || static_cast<std::size_t>(m_port.bytesAvailable()) < count)
        return std::nullopt;
    const QByteArray data = m_port.read(static_cast<qint64>(count));
    if (static_cast<std::size_t>(data.size()) != count) return std::nullopt;
    return Bytes(data.begin(), data.end());
}

bool QtSerialPort::discardInput() {
    if (!healthy()) return false;
    m_port.readAll();
    m_port.clear(QSerialPort::Input);
    return healthy();
}

bool QtSerialPort::write(const Bytes& bytes) {
    if (!healthy()) return false;
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    if (m_port.write(data) != data.size()) return false;
    // Without an event loop the bytes leave only while we wait for them to be written.
    while (m_port.bytesToWrite() > 0)
        if (!m_port.waitForBytesWritten(kWriteTimeoutMs)) return false;
    return healthy();
}

void QtSerialPort::moveToThread(void* thread) {
    m_port.moveToThread(thread ? static_cast<QThread*>(thread)
                               : QCoreApplication::instance()->thread());
}

}  // namespace tunalyx
