// Win32 backend: the communications API with the link's DCB items, and
// overlapped I/O so that the receive thread waits for the line without a
// polling loop, together with a stop event that Interrupt sets.
//
// Reads use the time-outs MAXDWORD, 0, 0: "return at once with what is
// buffered". Windows does so also when nothing is buffered; the receive
// thread then waits for a character with WaitCommEvent (EV_RXCHAR). Wine
// leaves such a read pending until the first bytes arrive instead, which is
// just as good a wait; there WaitCommEvent is never needed. (Wine's other
// read modes do not serve: with MAXDWORD, MAXDWORD, T an overlapped read on a
// pseudo-terminal waits until its buffer is full, ignoring T.)
#include "serial_device.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>

namespace vantrel {
namespace {

class Win32SerialDevice final : public SerialDevice {
public:
    // Takes the port and the four manual-reset events.
    Win32SerialDevice(HANDLE handle, HANDLE stop, HANDLE readDone, HANDLE writeDone, HANDLE charArrived)
        : handle_(handle), stop_(stop), readDone_(readDone), writeDone_(writeDone), charArrived_(charArrived) {}
    ~Win32SerialDevice() override {
        Release();
        CloseHandle(stop_);
        CloseHandle(readDone_);
        CloseHandle(writeDone_);
        CloseHandle(charArrived_);
    }

    long Receive(std::uint8_t* buffer, std::size_t max, int timeoutMs) override {
        const DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
        for (;;) {
            HANDLE handle = handle_.load();
            OVERLAPPED overlapped{};
            overlapped.hEvent = readDone_;
            DWORD got = 0;
            if (!ReadFile(handle, buffer, static_cast<DWORD>(max), &got, &overlapped)) {
                if (GetLastError() != ERROR_IO_PENDING) return Failed(handle);
                // Pending until bytes come (Wine).
                HANDLE events[2] = {readDone_, stop_};
                if (WaitForMultipleObjects(2, events, FALSE, wait) != WAIT_OBJECT_0)
                    CancelIoEx(handle, &overlapped);  // stop requested or time over
                // The read must be over before its OVERLAPPED goes out of scope.
                if (!GetOverlappedResult(handle, &overlapped, &got, TRUE))
                    return GetLastError() == ERROR_OPERATION_ABORTED ? static_cast<long>(got) : Failed(handle);
                return static_cast<long>(got);
            }
            if (got > 0) return static_cast<long>(got);
            // Nothing buffered and the read did not wait (Windows): wait for
            // a character, then read again.
            switch (WaitForCharacter(handle, wait)) {
                case kCharacter:
                    continue;
                case kNothing:
                    return 0;
                case kGone:
                    return -1;
            }
        }
    }

    void Write(const std::uint8_t* bytes, std::size_t count) override {
        HANDLE handle = handle_.load();
        OVERLAPPED overlapped{};
        overlapped.hEvent = writeDone_;
        DWORD put = 0;
        if (!WriteFile(handle, bytes, static_cast<DWORD>(count), &put, &overlapped) &&
            GetLastError() == ERROR_IO_PENDING)
            GetOverlappedResult(handle, &overlapped, &put, TRUE);
    }

    void Interrupt() override { SetEvent(stop_); }

    void Release() override {
        SetEvent(stop_);
        // Calls that still come in fail on the invalid handle.
        HANDLE handle = handle_.exchange(INVALID_HANDLE_VALUE);
        if (handle == INVALID_HANDLE_VALUE) return;
        if (eventArmed_.load()) {
            // The character wait is left armed between reads; its OVERLAPPED
            // belongs to this object and must be done with before it goes.
            CancelIoEx(handle, &eventWait_);
            WaitForSingleObject(charArrived_, 1000);
        }
        CloseHandle(handle);
    }

private:
    enum WaitResult { kCharacter, kNothing, kGone };

    WaitResult WaitForCharacter(HANDLE handle, DWORD wait) {
        if (!eventArmed_.load()) {
            eventWait_ = OVERLAPPED{};
            eventWait_.hEvent = charArrived_;
            if (WaitCommEvent(handle, &eventMask_, &eventWait_)) return kCharacter;
            if (GetLastError() != ERROR_IO_PENDING) {
                // No character events on this port: look again shortly.
                if (Failed(handle) < 0) return kGone;
                return WaitForSingleObject(stop_, 10) == WAIT_OBJECT_0 ? kNothing : kCharacter;
            }
            eventArmed_.store(true);
        }
        // Characters that came before the wait was armed signal nothing.
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle, &errors, &status)) return kGone;
        if (status.cbInQue > 0) return kCharacter;
        HANDLE events[2] = {charArrived_, stop_};
        if (WaitForMultipleObjects(2, events, FALSE, wait) != WAIT_OBJECT_0)
            return kNothing;  // the wait stays armed for the next call
        DWORD ignored = 0;
        eventArmed_.store(false);
        if (!GetOverlappedResult(handle, &eventWait_, &ignored, FALSE)) return Failed(handle) < 0 ? kGone : kCharacter;
        return kCharacter;
    }

    // A call on the port failed: a line error stops nothing (the errors are
    // cleared and reading goes on); a port that cannot report its state, or
    // that reports no error, is gone.
    long Failed(HANDLE handle) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle, &errors, &status) || errors == 0) return -1;
        return 0;
    }

    std::atomic<HANDLE> handle_;
    HANDLE stop_;
    HANDLE readDone_;
    HANDLE writeDone_;
    HANDLE charArrived_;
    // The receive thread's character wait (Windows only ever arms it).
    OVERLAPPED eventWait_{};
    DWORD eventMask_ = 0;
    std::atomic<bool> eventArmed_{false};
};

}  // namespace

std::unique_ptr<SerialDevice> OpenLocalSerialDevice(const std::string& path, std::uint32_t baud) {
    if (baud != 9600 && baud != 19200 && baud != 38400 && baud != 57600) return nullptr;

    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* not shared */, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;

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

    // Reads return at once with what is buffered (see above); the write
    // time-outs stay as the port had them.
    COMMTIMEOUTS timeouts{};
    GetCommTimeouts(handle, &timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(handle, &timeouts) || !SetCommMask(handle, EV_RXCHAR)) {
        CloseHandle(handle);
        return nullptr;
    }
    // Drop what arrived while nobody had the port open.
    PurgeComm(handle, PURGE_RXCLEAR);

    HANDLE events[4] = {};
    for (HANDLE& event : events) {
        event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (event == nullptr) {
            for (HANDLE made : events)
                if (made != nullptr) CloseHandle(made);
            CloseHandle(handle);
            return nullptr;
        }
    }
    return std::make_unique<Win32SerialDevice>(handle, events[0], events[1], events[2], events[3]);
}

}  // namespace vantrel
