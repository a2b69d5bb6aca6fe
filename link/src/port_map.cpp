#include "port_map.h"

#include <cctype>
#include <cstdlib>
#include <fstream>

namespace vantrel {
namespace {

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

const char* NonEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != '\0'; ++i)
        if (i >= s.size() || std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

bool ValidPort(const std::string& port) {
    if (port.empty() || port.size() > 5 || port[0] == '0') return false;
    for (char c : port)
        if (c < '0' || c > '9') return false;
    return std::stol(port) <= 65535;
}

}  // namespace

bool IsNetworkName(const std::string& name) {
    return StartsWithNoCase(name, "rfc2217://") || StartsWithNoCase(name, "tcp://");
}

bool ParseNetworkName(const std::string& name, NetworkName& out) {
    std::string rest;
    if (StartsWithNoCase(name, "rfc2217://")) {
        out.rfc2217 = true;
        rest = name.substr(10);
    } else if (StartsWithNoCase(name, "tcp://")) {
        out.rfc2217 = false;
        rest = name.substr(6);
    } else {
        return false;
    }
    std::size_t colon;
    if (!rest.empty() && rest[0] == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos || close == 1 || close + 1 >= rest.size() || rest[close + 1] != ':')
            return false;
        out.host = rest.substr(1, close - 1);
        if (out.host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) return false;
        colon = close + 1;
    } else {
        colon = rest.find(':');
        if (colon == std::string::npos || colon == 0 || rest.find(':', colon + 1) != std::string::npos) return false;
        out.host = rest.substr(0, colon);
        for (char c : out.host)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') return false;
    }
    out.port = rest.substr(colon + 1);
    return ValidPort(out.port);
}

std::string PortsFilePath() {
#if defined(_WIN32)
    if (const char* appData = NonEmpty("APPDATA")) return std::string(appData) + "\\vantrel\\ports.conf";
#else
    if (const char* config = NonEmpty("XDG_CONFIG_HOME")) return std::string(config) + "/vantrel/ports.conf";
    if (const char* home = NonEmpty("HOME")) return std::string(home) + "/.config/vantrel/ports.conf";
#endif
    return {};
}

PortsFile ReadPortsFile(const std::string& path) {
    PortsFile file;
    if (path.empty()) return file;
    std::ifstream in(path);
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') continue;
        const std::size_t eq = line.find('=');
        const std::string name = Trim(line.substr(0, eq == std::string::npos ? line.size() : eq));
        const std::string where = "line " + std::to_string(number) + ": ";
        if (eq == std::string::npos) {
            file.problems.push_back(where + "no '=' (expected COMn=PATH)");
            continue;
        }
        const bool com = name.size() == 4 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
                         std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
                         std::toupper(static_cast<unsigned char>(name[2])) == 'M' && name[3] >= '1' && name[3] <= '4';
        if (!com) {
            file.problems.push_back(where + "'" + name + "' is not COM1..COM4");
            continue;
        }
        const std::string value = Trim(line.substr(eq + 1));
        if (value.empty()) {
            file.problems.push_back(where + name + " has no device path");
            continue;
        }
        const int index = name[3] - '1';
        file.paths[index] = value;
        file.lines[index] = number;
    }
    return file;
}

PortMapping ResolvePort(int port) {
    PortMapping m;
    const std::string variable = "VANTREL_COM" + std::to_string(port);
    if (const char* path = NonEmpty(variable.c_str())) {
        m.path = path;
        m.source = PortSource::Variable;
        return m;
    }
    if (port >= 1 && port <= 4) {
        const PortsFile file = ReadPortsFile(PortsFilePath());
        if (!file.paths[port - 1].empty()) {
            m.path = file.paths[port - 1];
            m.source = PortSource::File;
            m.line = file.lines[port - 1];
            return m;
        }
    }
#if defined(_WIN32)
    m.path = "\\\\.\\COM" + std::to_string(port);
#else
    m.path = "/dev/ttyS" + std::to_string(port - 1);
#endif
    return m;
}

}  // namespace vantrel
