// The serial devices of the system, and why one of them does not open: the
// Linux version looks in /dev, the Windows version asks the registry and the
// DOS device names, and opens the port the way the link library does.
#pragma once

#include <string>
#include <vector>

namespace cli::platform {

struct SerialDeviceName {
    std::string path;    // what --device and the ports file take
    std::string target;  // what it leads to (a by-id link's device, a COM port's driver name); may be empty
};

// The serial devices present, in the order a user looks for them (Linux:
// stable USB names, then ttyUSB, ttyACM, ttyS; Windows: COM1, COM2, ... by number).
std::vector<SerialDeviceName> SerialDevices();

// True when `path` names a device or file that is there.
bool DeviceExists(const std::string& path);

// True when `name` is a device name of the system rather than a path
// ("COM3", "\\.\COM12" on Windows) and a serial server's name
// ("rfc2217://HOST:PORT", "tcp://HOST:PORT"); local devices elsewhere are files.
bool IsDeviceName(const std::string& name);

#ifdef _WIN32
// Why `path` (the device of COMn, n = port) does not open as the link library
// opens it, with what to do about it: the part of the message after
// "cannot open COMn (PATH): ".
std::string PortOpenProblem(const std::string& path, int port);
#endif

}  // namespace cli::platform
