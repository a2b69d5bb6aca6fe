// The serial port behind one small interface, so that the link logic is the
// same on every platform. Backends: serial_posix.cpp (termios),
// serial_win32.cpp (Win32 communications API, overlapped I/O), and
// serial_network.cpp (RFC 2217 or raw TCP to a serial server).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vantrel {

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Waits until bytes arrive, Interrupt is called, the line fails or
    // timeoutMs milliseconds pass, then reads up to max of the bytes that are
    // buffered. Returns how many it read; 0 when none came in time or the
    // wait was interrupted; -1 when the line is dead (hung up with nothing
    // left to read, a removed adapter, a read error). Pending line errors are
    // cleared on the way. Called by the receive thread alone.
    virtual long Receive(std::uint8_t* buffer, std::size_t max, int timeoutMs) = 0;
    // One synchronous write; the outcome is not reported (a lost request
    // shows up as the transaction's time-out).
    virtual void Write(const std::uint8_t* bytes, std::size_t count) = 0;
    // Makes a waiting Receive return at once, and every later one as well:
    // the receive thread is about to stop. Safe from any thread.
    virtual void Interrupt() = 0;
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
// A network name (rfc2217:// or tcp://, port_map.h) connects to a serial
// server instead.
std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& path, std::uint32_t baud);

// The two kinds behind OpenSerialDevice: a local port (serial_posix.cpp,
// serial_win32.cpp) and a line served over the network (serial_network.cpp).
std::unique_ptr<SerialDevice> OpenLocalSerialDevice(const std::string& path, std::uint32_t baud);
std::unique_ptr<SerialDevice> OpenNetworkSerialDevice(const std::string& name, std::uint32_t baud);

}  // namespace vantrel
