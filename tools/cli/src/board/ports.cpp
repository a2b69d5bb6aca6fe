// tolvane2-cli ports: how COM1..COM4 map to devices, where each mapping comes
// from, and which serial devices the system has.
#include "board/board_commands.h"

#include <filesystem>

#include "files/json_form.h"
#include "platform/serial_devices.h"
#include "port_map.h"
#include "board/board_write.h"
#include "text_out.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

const char* SourceName(vantrel::PortSource s) {
    switch (s) {
        case vantrel::PortSource::Variable:
            return "variable";
        case vantrel::PortSource::File:
            return "file";
        case vantrel::PortSource::Default:
            return "default";
    }
    return "default";
}

}  // namespace

int CmdPorts(const BoardTarget& target, Output& o) {
    const std::string filePath = vantrel::PortsFilePath();
    std::error_code ec;
    const bool fileExists = !filePath.empty() && fs::exists(filePath, ec);
    const vantrel::PortsFile file = vantrel::ReadPortsFile(fileExists ? filePath : std::string());
    for (const auto& problem : file.problems) o.Note() << filePath << ", " << problem << " (skipped)";

    Json ports = Json::array();
    std::vector<std::string> paths;  // as they are, for the text form
    for (int port = 1; port <= 4; ++port) {
        const vantrel::PortMapping m = vantrel::ResolvePort(port);
        // --device stands for COM1 in this run, whatever maps it otherwise.
        const bool fromOption = port == 1 && !target.device.empty();
        const std::string path = fromOption ? target.device : m.path;
        Json p;
        p["port"] = port;
        p["device"] = ShownPath(path);
        p["source"] = fromOption ? "option" : SourceName(m.source);
        if (!fromOption && m.source == vantrel::PortSource::File) p["line"] = m.line;
        // A server on the network is not looked for here: it answers only when opened.
        vantrel::NetworkName network;
        if (vantrel::IsNetworkName(path)) {
            p["network"] = true;
            p["exists"] = vantrel::ParseNetworkName(path, network);
        } else {
            p["exists"] = platform::DeviceExists(path);
        }
        paths.push_back(path);
        ports.push_back(p);
    }
    Json devices = Json::array();
    for (const auto& [path, linkTarget] : platform::SerialDevices()) {
        Json d;
        d["path"] = ShownPath(path);
        if (!linkTarget.empty()) d["target"] = ShownPath(linkTarget);
        devices.push_back(d);
    }

    if (o.json) {
        Json j;
        j["portsFile"] = filePath;
        j["portsFileExists"] = fileExists;
        j["ports"] = ports;
        j["devices"] = devices;
        o.WriteJson(j);
        return 0;
    }
#ifdef _WIN32
    const std::string noFile = "(none: APPDATA is not set)";
#else
    const std::string noFile = "(none: neither XDG_CONFIG_HOME nor HOME is set)";
#endif
    o.out << "Ports file: " << (filePath.empty() ? noFile : filePath + (fileExists ? "" : " (not present)")) << "\n";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const Json& p = ports[i];
        const std::string source = p["source"].get<std::string>();
        o.out << "COM" << p["port"].get<int>() << "  " << paths[i] << "  ";
        if (source == "option") o.out << "(from --device, for this run)";
        else if (source == "variable") o.out << "(from VANTREL_COM" << p["port"].get<int>() << ")";
        else if (source == "file") o.out << "(from the ports file, line " << p["line"].get<int>() << ")";
        else o.out << "(default)";
        if (p.contains("network")) o.out << (p["exists"].get<bool>() ? ", network" : ", not a valid network name");
        else if (!p["exists"].get<bool>()) o.out << ", missing";
        o.out << "\n";
    }
    o.out << "Serial devices present:\n";
    if (devices.empty()) o.out << "  (none)\n";
    for (const Json& d : devices) {
        o.out << "  " << d["path"].get<std::string>();
        if (d.contains("target")) o.out << " -> " << d["target"].get<std::string>();
        o.out << "\n";
    }
    return 0;
}

}  // namespace cli
