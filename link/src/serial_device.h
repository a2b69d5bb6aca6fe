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

    // Bytes waiting in the driver, or -1 when the driver cannot tell (a
    // removed adapter, a hung-up line). Also clears a pending line error.
    virtual long BytesWaiting() = 0;
    // Reads up to max bytes that are already buffered; never blocks. 0 when
    // nothing is there, -1 on a read error.
    virtual long Read(std::uint8_t *buffer, std::size_t max) = 0;
    // One synchronous write; the outcome is not reported (a lost request
    // shows up as the transaction's time-out).
    virtual void Write(const std::uint8_t *bytes, std::size_t count) = 0;
    // Waits until input may be waiting, at most timeoutMs milliseconds.
    // false: the line reports a hang-up or an error instead.
    virtual bool WaitForInput(int timeoutMs) = 0;
    // Gives the device back to the system while another thread may still be
    // about to call the functions above: they keep working on a harmless
    // stand-in (and fail or read nothing) until this object is destroyed.
    virtual void Release() = 0;
};

// The device that port number 1..4 stands for: the path in VANTREL_COMn when
// that variable is set, else the user's ports file, else the platform's own
// name for the port (port_map.h).
std::string SerialDevicePath(int port);

// Opens path exclusively with the link's fixed line settings at the given
// rate. Returns null when the device cannot be opened or configured; nothing
// stays open then.
std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string &path, std::uint32_t baud);

}  // namespace vantrel
