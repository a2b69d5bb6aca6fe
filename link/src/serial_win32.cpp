// Win32 backend: the communications API with the link's DCB items and read
// time-outs that make ReadFile return at once with what is buffered.
#include "serial_device.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <atomic>

namespace vantrel {
namespace {

class Win32SerialDevice final : public SerialDevice {
public:
    explicit Win32SerialDevice(HANDLE handle) : handle_(handle) {}
    ~Win32SerialDevice() override
    {
        HANDLE handle = handle_.exchange(INVALID_HANDLE_VALUE);
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }

    long BytesWaiting() override
    {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle_.load(), &errors, &status))
            return -1;   // the device is gone (adapter removed) or released
        return static_cast<long>(status.cbInQue);
    }

    long Read(std::uint8_t *buffer, std::size_t max) override
    {
        DWORD got = 0;
        if (!ReadFile(handle_.load(), buffer, static_cast<DWORD>(max), &got, nullptr))
            return -1;
        return static_cast<long>(got);
    }

    void Write(const std::uint8_t *bytes, std::size_t count) override
    {
        DWORD put = 0;
        WriteFile(handle_.load(), bytes, static_cast<DWORD>(count), &put, nullptr);
    }

    bool WaitForInput(int timeoutMs) override
    {
        // Without overlapped I/O there is no waiting with a time-out on a
        // port; look in 1 ms steps so an answer is seen soon after it lands.
        for (int waited = 0; waited < timeoutMs; ++waited) {
            long waiting = BytesWaiting();
            if (waiting < 0)
                return false;
            if (waiting > 0)
                return true;
            Sleep(1);
        }
        return true;
    }

    void Release() override
    {
        // Calls that still come in fail on the invalid handle.
        HANDLE handle = handle_.exchange(INVALID_HANDLE_VALUE);
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }

private:
    std::atomic<HANDLE> handle_;
};

}  // namespace

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string &path, std::uint32_t baud)
{
    if (baud != 9600 && baud != 19200 && baud != 38400 && baud != 57600)
        return nullptr;

    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* not shared */, nullptr,
                                OPEN_EXISTING, 0 /* no overlapped I/O */, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb)) {
        CloseHandle(handle);
        return nullptr;
    }
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(handle, &dcb)) {
        CloseHandle(handle);
        return nullptr;
    }

    // Reads return at once with whatever is buffered; the write time-outs
    // stay as the port had them. The results are not needed: a port that
    // keeps other read time-outs still works, only slower.
    COMMTIMEOUTS timeouts{};
    GetCommTimeouts(handle, &timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    SetCommTimeouts(handle, &timeouts);

    return std::make_unique<Win32SerialDevice>(handle);
}

}  // namespace vantrel
