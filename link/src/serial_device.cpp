#include "serial_device.h"

#include "port_map.h"

namespace vantrel {

std::string SerialDevicePath(int port) { return ResolvePort(port).path; }

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& path, std::uint32_t baud) {
    if (IsNetworkName(path)) return OpenNetworkSerialDevice(path, baud);
    return OpenLocalSerialDevice(path, baud);
}

}  // namespace vantrel
