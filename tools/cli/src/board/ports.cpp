// tolvane2-cli ports: how COM1..COM4 map to devices, where each mapping comes
// from, and which serial devices the system has.
#include "board_commands.h"

#include <algorithm>
#include <filesystem>
#include <regex>
#include <vector>

#include "json_form.h"
#include "port_map.h"
#include "board/board_write.h"
#include "text_out.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

const char* SourceName(vantrel::PortSource s) {
    switch (s) {
    case vantrel::PortSource::Variable: return "variable";
    case vantrel::PortSource::File: return "file";
    case vantrel::PortSource::Default: return "default";
    }
    return "default";
}

// Serial devices: the stable names of USB adapters first, then the kernel's names.
std::vector<std::pair<std::string, std::string>> SerialDevices() {
    std::vector<std::pair<std::string, std::string>> out;
    std::error_code ec;
    std::vector<std::string> byId;
    for (const auto& entry : fs::directory_iterator("/dev/serial/by-id", ec)) byId.push_back(entry.path().string());
    std::sort(byId.begin(), byId.end());
    for (const auto& p : byId) {
        std::error_code ec2;
        fs::path target = fs::canonical(p, ec2);
        out.emplace_back(p, ec2 ? std::string() : target.string());
    }
    static const std::regex kernel("tty(USB|ACM|S)([0-9]+)");
    std::vector<std::pair<std::string, int>> names;
    for (const auto& entry : fs::directory_iterator("/dev", ec)) {
        const std::string name = entry.path().filename().string();
        std::smatch m;
        if (std::regex_match(name, m, kernel)) names.emplace_back(name, std::stoi(m[2].str()));
    }
    // ttyUSB and ttyACM before ttyS, each by number.
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
        const bool as = a.first.rfind("ttyS", 0) == 0, bs = b.first.rfind("ttyS", 0) == 0;
        const std::string ak = a.first.substr(0, a.first.find_first_of("0123456789"));
        const std::string bk = b.first.substr(0, b.first.find_first_of("0123456789"));
        if (as != bs) return bs;
        if (ak != bk) return ak < bk;
        return a.second < b.second;
    });
    for (const auto& n : names) out.emplace_back("/dev/" + n.first, std::string());
    return out;
}

}  // namespace

int CmdPorts(const BoardTarget& target, Output& o) {
    const std::string filePath = vantrel::PortsFilePath();
    std::error_code ec;
    const bool fileExists = !filePath.empty() && fs::exists(filePath, ec);
    const vantrel::PortsFile file = vantrel::ReadPortsFile(fileExists ? filePath : std::string());
    for (const auto& problem : file.problems) o.err << "tolvane2-cli: " << filePath << ", " << problem << " (skipped)\n";

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
        p["exists"] = fs::exists(path, ec);
        paths.push_back(path);
        ports.push_back(p);
    }
    Json devices = Json::array();
    for (const auto& [path, linkTarget] : SerialDevices()) {
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
        o.out << DumpJson(j) << "\n";
        return 0;
    }
    o.out << "Ports file: " << (filePath.empty() ? std::string("(none: neither XDG_CONFIG_HOME nor HOME is set)")
                                                 : filePath + (fileExists ? "" : " (not present)"))
          << "\n";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const Json& p = ports[i];
        const std::string source = p["source"].get<std::string>();
        o.out << "COM" << p["port"].get<int>() << "  " << paths[i] << "  ";
        if (source == "option")
            o.out << "(from --device, for this run)";
        else if (source == "variable")
            o.out << "(from VANTREL_COM" << p["port"].get<int>() << ")";
        else if (source == "file")
            o.out << "(from the ports file, line " << p["line"].get<int>() << ")";
        else
            o.out << "(default)";
        if (!p["exists"].get<bool>()) o.out << ", missing";
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
