// The serial port behind one small interface, so that the link logic is the
// same on every platform. Backends: serial_posix.cpp (termios) and
// serial_win32.cpp (Win32 communications API).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vantrel {

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Bytes waiting in the driver. Also clears a pending line error.
    virtual std::size_t BytesWaiting() = 0;
    // Reads up to max bytes that are already buffered; never blocks.
    virtual std::size_t Read(std::uint8_t *buffer, std::size_t max) = 0;
    // One synchronous write; the outcome is not reported (a lost request
    // shows up as the transaction's time-out).
    virtual void Write(const std::uint8_t *bytes, std::size_t count) = 0;
    // Waits until input may be waiting, at most timeoutMs milliseconds.
    virtual void WaitForInput(int timeoutMs) = 0;
};

// The device that port number 1..4 stands for: the path in VANTREL_COMn when
// that variable is set, else the platform's own name for the port.
std::string SerialDevicePath(int port);

// Opens path exclusively with the link's fixed line settings at the given
// rate. Returns null when the device cannot be opened or configured; nothing
// stays open then.
std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string &path, std::uint32_t baud);

}  // namespace vantrel
