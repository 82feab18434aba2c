#include "link/win32_serial_port.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>

#include "link/port_names.h"
#include "link/system_serial_port.h"

namespace tunalyx {

namespace {

constexpr DWORD kReceiveBufferSize = 1024;
constexpr DWORD kTransmitBufferSize = 1024;
// A frame leaves in a few milliseconds; a second more means the line is stuck.
constexpr DWORD kWriteTimeoutMs = 1000;

HANDLE handleOf(void* h) {
    return static_cast<HANDLE>(h);
}

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string narrow(const wchar_t* text, std::size_t length) {
    if (length == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr,
                        nullptr);
    return out;
}

// The system's own words for an error code, without the line break it ends with.
std::string systemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = buffer ? narrow(buffer, length) : std::string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    if (text.empty()) text = "system error " + std::to_string(code);
    return text;
}

PortOpenError openErrorKind(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return PortOpenError::NotFound;
        case ERROR_ACCESS_DENIED:
            // Windows answers this both for a port another program holds and for one it keeps
            // from us; the text says both.
            return PortOpenError::NoPermission;
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return PortOpenError::InUse;
        default:
            return PortOpenError::Other;
    }
}

// "COM12" must be opened as "\\.\COM12"; a name that is a path already is taken as it is.
std::wstring openPath(const std::string& name) {
    if (name.rfind("\\\\", 0) == 0) return wide(name);
    return L"\\\\.\\" + wide(name);
}

// 57600 8N1 with no handshaking of either kind. DTR and RTS are raised for adapters that draw
// power from them.
bool configureLine(HANDLE h) {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(h, &dcb)) return false;
    dcb.BaudRate = CBR_57600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (SetCommState(h, &dcb)) return true;
    // A line without modem control refuses the DTR/RTS part after taking the rest: what counts
    // is whether the rate and framing are now ours.
    DCB now{};
    now.DCBlength = sizeof(now);
    return GetCommState(h, &now) && now.BaudRate == CBR_57600 && now.ByteSize == 8 &&
           now.Parity == NOPARITY && now.StopBits == ONESTOPBIT && !now.fOutxCtsFlow &&
           !now.fOutX && !now.fInX;
}

}  // namespace

std::string Win32SerialPort::deviceName() const {
    return chosenPortDevice(m_number, m_devicePath, m_store, true);
}

bool Win32SerialPort::open() {
    close();
    m_openFailure.clear();
    const std::string name = deviceName();
    const HANDLE h = CreateFileW(openPath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        m_openFailure = portOpenProblem(openErrorKind(code), name, {}, systemMessage(code), true);
        return false;
    }
    // The queue sizes are a wish the driver may ignore; it is no reason to give up the port.
    SetupComm(h, kReceiveBufferSize, kTransmitBufferSize);
    if (!configureLine(h)) {
        m_openFailure = name + ": " + systemMessage(GetLastError());
        CloseHandle(h);
        return false;
    }
    // Modem lines again, one by one: some lines refuse them (error 50), which does no harm.
    EscapeCommFunction(h, SETDTR);
    EscapeCommFunction(h, SETRTS);
    m_handle = h;
    m_readWait = 0xFFFFFFFFu;
    if (!setReadWait(0)) {
        m_openFailure = name + ": " + systemMessage(GetLastError());
        close();
        return false;
    }
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_held.clear();
    return true;
}

void Win32SerialPort::close() {
    if (m_handle) CloseHandle(handleOf(m_handle));
    m_handle = nullptr;
    m_held.clear();
}

bool Win32SerialPort::setReadWait(std::uint32_t waitMs) {
    if (waitMs == m_readWait) return true;
    COMMTIMEOUTS t{};
    if (waitMs == 0) {
        // What the driver holds, at once.
        t.ReadIntervalTimeout = MAXDWORD;
    } else {
        // All that was asked for, or what came by the deadline: the driver wakes us the moment
        // the last byte is in, without our polling it.
        t.ReadTotalTimeoutConstant = waitMs;
    }
    t.WriteTotalTimeoutMultiplier = 1;
    t.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    if (!SetCommTimeouts(handleOf(m_handle), &t)) return false;
    m_readWait = waitMs;
    return true;
}

bool Win32SerialPort::fetch(std::size_t count, std::uint32_t waitMs) {
    if (!m_handle || !setReadWait(waitMs)) return false;
    const std::size_t before = m_held.size();
    m_held.resize(before + count);
    DWORD got = 0;
    const BOOL ok = ReadFile(handleOf(m_handle), m_held.data() + before, static_cast<DWORD>(count),
                             &got, nullptr);
    m_held.resize(before + (ok ? got : 0));
    return ok != FALSE;
}

std::optional<std::size_t> Win32SerialPort::bytesAvailable() {
    if (!m_handle) return std::nullopt;
    DWORD errors = 0;
    COMSTAT status{};
    // Also how a port that has gone (adapter pulled) shows.
    if (!ClearCommError(handleOf(m_handle), &errors, &status)) return std::nullopt;
    return m_held.size() + status.cbInQue;
}

bool Win32SerialPort::waitForBytes(std::size_t count, std::int64_t timeoutMs) {
    if (!m_handle) return false;
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(std::max<std::int64_t>(0, timeoutMs));
    while (m_held.size() < count) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return true;
        if (!fetch(count - m_held.size(), static_cast<std::uint32_t>(left))) return false;
    }
    return true;
}

std::optional<Bytes> Win32SerialPort::read(std::size_t count) {
    if (!m_handle) return std::nullopt;
    if (m_held.size() < count && !fetch(count - m_held.size(), 0)) return std::nullopt;
    if (m_held.size() < count) return std::nullopt;
    Bytes out(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(count));
    m_held.erase(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(count));
    return out;
}

bool Win32SerialPort::discardInput() {
    if (!m_handle) return false;
    m_held.clear();
    return PurgeComm(handleOf(m_handle), PURGE_RXCLEAR) != FALSE;
}

bool Win32SerialPort::write(const Bytes& bytes) {
    if (!m_handle) return false;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        DWORD n = 0;
        if (!WriteFile(handleOf(m_handle), bytes.data() + sent,
                       static_cast<DWORD>(bytes.size() - sent), &n, nullptr))
            return false;
        // Nothing taken within the write time-out: the line is stuck.
        if (n == 0) return false;
        sent += n;
    }
    return true;
}

std::unique_ptr<SerialPort> makeSystemSerialPort(const SettingsStore& store) {
    return std::make_unique<Win32SerialPort>(store);
}

std::vector<PresentPort> presentSerialPorts() {
    std::vector<std::string> names;
    // The ports the drivers announce...
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            wchar_t valueName[256];
            DWORD nameLength = 256;
            wchar_t data[64];
            DWORD dataBytes = sizeof(data);
            DWORD type = 0;
            const LONG r = RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data), &dataBytes);
            if (r == ERROR_NO_MORE_ITEMS) break;
            if (r != ERROR_SUCCESS || type != REG_SZ) continue;
            std::size_t length = dataBytes / sizeof(wchar_t);
            while (length > 0 && data[length - 1] == L'\0')
                --length;
            names.push_back(narrow(data, length));
        }
        RegCloseKey(key);
    }
    // ...and every COM name the system knows, virtual ports included.
    std::wstring devices(16384, L'\0');
    DWORD length = 0;
    while ((length = QueryDosDeviceW(nullptr, devices.data(),
                                     static_cast<DWORD>(devices.size()))) == 0 &&
           GetLastError() == ERROR_INSUFFICIENT_BUFFER && devices.size() < (1u << 22))
        devices.resize(devices.size() * 2);
    for (std::size_t at = 0; at < length && devices[at] != L'\0';) {
        const std::size_t end = devices.find(L'\0', at);
        if (end == std::wstring::npos || end > length) break;
        names.push_back(narrow(devices.data() + at, end - at));
        at = end + 1;
    }
    return comPortsByNumber(names);
}

}  // namespace tunalyx
