#include "serial_device.h"

#include "port_map.h"

namespace vantrel {

std::string SerialDevicePath(int port) { return ResolvePort(port).path; }

}  // namespace vantrel
