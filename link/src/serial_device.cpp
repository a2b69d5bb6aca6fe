#include "serial_device.h"

#include <cstdlib>

namespace vantrel {

std::string SerialDevicePath(int port)
{
    const std::string variable = "VANTREL_COM" + std::to_string(port);
    if (const char *path = std::getenv(variable.c_str()); path != nullptr && *path != '\0')
        return path;
#if defined(_WIN32)
    return "\\\\.\\COM" + std::to_string(port);
#else
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

}  // namespace vantrel
