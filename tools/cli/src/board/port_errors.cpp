// Telling the user why a serial port does not open: the library only says
// that it failed, so the device is examined here the way the library opens it.
#include "board/board_commands.h"
#include "platform/serial_devices.h"
#include "net_socket.h"
#include "port_map.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace cli {

std::string DevicePathOfPort(int port) { return vantrel::ResolvePort(port).path; }

std::string PermissionAdvice(const std::string& path, const std::string& group) {
    // Membership of root's group would give far more than the port: a device
    // left to root needs a group of its own.
    if (group.empty() || group == "root")
        return "The device belongs to no group that serial users join; it needs a group such as 'dialout' "
               "(see which group your system uses for serial ports with ls -l /dev/ttyS0, and this device's with "
               "ls -l " +
               path +
               "), set by a udev rule, for example a line SUBSYSTEM==\"tty\", GROUP=\"dialout\", "
               "MODE=\"0660\" with the adapter's ATTRS{idVendor} and ATTRS{idProduct} in /etc/udev/rules.d/; then "
               "join that group and log in again";
    return "Add yourself to the group '" + group + "' that owns it (sudo usermod -aG " + group +
           " \"$USER\"), then log in again";
}

// A serial server: the name, then a connection of our own to see how far it gets.
static std::string DescribeNetworkFailure(const std::string& path, const std::string& name) {
    vantrel::NetworkName where;
    if (!vantrel::ParseNetworkName(path, where))
        return "cannot open " + name +
               ": not a valid network name; write rfc2217://HOST:PORT or tcp://HOST:PORT (an IPv6 address in "
               "brackets, the port 1..65535)";
    const std::string server = "the server " + where.host + " port " + where.port;
    if (!vantrel::net::Startup()) return "cannot open " + name + ": the network is not available";
    std::string problem;
    const vantrel::net::Socket s = vantrel::net::Connect(where.host, where.port, 3000, problem);
    if (s != vantrel::net::kNoSocket) vantrel::net::Close(s);
    vantrel::net::Cleanup();
    if (s == vantrel::net::kNoSocket) return "cannot open " + name + ": cannot connect to " + server + ": " + problem;
    if (!where.rfc2217) return "cannot open " + name + ": " + server + " accepted the connection, then failed";
    return "cannot open " + name + ": " + server +
           " accepted the connection but did not agree RFC 2217 (binary transfer and the COM-PORT option) in "
           "time, or serves another client; for a raw TCP server write tcp://" +
           path.substr(path.find("://") + 3);
}

std::string DescribePortFailure(const BoardTarget& target) {
    const std::string path = DevicePathOfPort(target.port);
    const std::string name = "COM" + std::to_string(target.port) + " (" + path + ")";
    if (vantrel::IsNetworkName(path)) return DescribeNetworkFailure(path, name);
#ifdef _WIN32
    return "cannot open " + name + ": " + platform::PortOpenProblem(path, target.port);
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return "cannot open " + name +
               ": the device does not exist. Plug in the adapter or start the emulated "
               "board, then name the device with --device PATH (or VANTREL_COM" +
               std::to_string(target.port) + "=PATH, or a line COM" + std::to_string(target.port) + "=PATH in " +
               (vantrel::PortsFilePath().empty() ? std::string("the ports file") : vantrel::PortsFilePath()) +
               "); stable names of USB adapters are under /dev/serial/by-id/ (tolvane2-cli ports lists them)";
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == EACCES || e == EPERM) {
            std::string groupName;
            if (const struct group* g = ::getgrgid(st.st_gid)) groupName = g->gr_name;
            return "cannot open " + name + ": permission denied. " + PermissionAdvice(path, groupName);
        }
        if (e == EBUSY)
            return "cannot open " + name +
                   ": the port is busy; another program (the editor, another "
                   "tolvane2-cli) holds it. Close that program and try again";
        return "cannot open " + name + ": " + std::strerror(e);
    }
    std::string reason;
    termios tio{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        reason =
            "the port is busy; another program (the editor, another tolvane2-cli) holds it. Close that "
            "program and try again";
    else if (::tcgetattr(fd, &tio) != 0) reason = "it is not a serial device";
    else reason = "the line settings (57600 baud, 8N1) were refused";
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return "cannot open " + name + ": " + reason;
#endif
}

}  // namespace cli
