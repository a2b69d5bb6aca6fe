// Which device port number 1..4 stands for: the environment variable
// VANTREL_COMn, else a line COMn=PATH of the user's ports file, else the
// platform's own name for the port. A program started from the desktop menu
// has no VANTREL_COMn, so the file is how its user picks an adapter.
#pragma once

#include <string>
#include <vector>

namespace vantrel {

enum class PortSource { Variable, File, Default };

struct PortMapping {
    std::string path;
    PortSource source = PortSource::Default;
    int line = 0;  // the file's line that gave it (source File)
};

// $XDG_CONFIG_HOME/vantrel/ports.conf, else $HOME/.config/vantrel/ports.conf
// (on Windows %APPDATA%\vantrel\ports.conf); empty when none of these is set.
std::string PortsFilePath();

struct PortsFile {
    std::string paths[4];  // COM1..COM4; empty: not given
    int lines[4] = {0, 0, 0, 0};
    std::vector<std::string> problems;  // "line 3: ..." for lines that were skipped
};

// Reads the ports file at path: lines "COMn=PATH" (n 1..4, blanks around the
// name, the '=' and the path are ignored, a later line for the same port
// wins), blank lines and lines starting with '#'. A missing file is empty.
PortsFile ReadPortsFile(const std::string& path);

PortMapping ResolvePort(int port);

// A serial line served over the network: rfc2217://HOST:PORT (telnet with the
// COM-PORT option: the line settings are ours) or tcp://HOST:PORT (raw bytes,
// the line settings are the server's). HOST is a name, an IPv4 address or an
// IPv6 address in brackets.
struct NetworkName {
    bool rfc2217 = false;
    std::string host;
    std::string port;  // decimal 1..65535
};

// True when name starts with one of the two schemes (in any case), whether or
// not the rest is well formed.
bool IsNetworkName(const std::string& name);
// Splits a network name; false when it is not one or is malformed.
bool ParseNetworkName(const std::string& name, NetworkName& out);

}  // namespace vantrel
