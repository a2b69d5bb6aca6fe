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

// One serial device with the names that stay the same when adapters are
// replugged or renumbered.
struct StableDevice {
    std::string device;                      // what the names lead to: /dev/ttyUSB3; COM3 on Windows
    std::vector<std::string> byPath;         // links in DIR/by-path: the physical socket (Linux)
    std::vector<std::string> byId;           // links in DIR/by-id: the adapter's serial number (Linux)
    std::string location;                    // the port's location information (Windows), may be empty
    std::vector<std::string> locationPaths;  // its location paths (Windows)
};

struct DanglingLink {
    std::string link;    // the link's path
    std::string target;  // what it names, which is not there
};

struct StableNames {
    std::vector<StableDevice> devices;  // in no particular order
    std::vector<DanglingLink> dangling;
};

// The stable names of the serial devices present. Linux: the links in
// `serialDir`/by-path and `serialDir`/by-id, grouped by the device each
// resolves to (a missing folder holds no links). Windows: the location
// information of every port that SetupAPI lists, and every other COM port
// by its name; `serialDir` is not used.
StableNames StableSerialNames(const std::string& serialDir);

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
