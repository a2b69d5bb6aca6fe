#include "platform/serial_devices.h"
#include "port_map.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>

namespace cli::platform {

namespace fs = std::filesystem;

std::vector<SerialDeviceName> SerialDevices() {
    std::vector<SerialDeviceName> out;
    std::error_code ec;
    std::vector<std::string> byId;
    for (const auto& entry : fs::directory_iterator("/dev/serial/by-id", ec)) byId.push_back(entry.path().string());
    std::sort(byId.begin(), byId.end());
    for (const auto& p : byId) {
        std::error_code ec2;
        fs::path target = fs::canonical(p, ec2);
        out.push_back({p, ec2 ? std::string() : target.string()});
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
    for (const auto& n : names) out.push_back({"/dev/" + n.first, std::string()});
    return out;
}

StableNames StableSerialNames(const std::string& serialDir) {
    StableNames out;
    std::map<std::string, StableDevice> byDevice;
    std::error_code ec;
    // Absolute, so that the names work from any folder (a job file takes
    // relative paths from its own folder).
    const fs::path dir = fs::absolute(serialDir, ec).lexically_normal();
    for (const char* kind : {"by-path", "by-id"}) {
        std::vector<fs::path> links;
        for (const auto& entry : fs::directory_iterator(dir / kind, ec)) links.push_back(entry.path());
        std::sort(links.begin(), links.end());
        for (const fs::path& link : links) {
            std::error_code linkEc;
            const fs::path device = fs::canonical(link, linkEc);
            if (linkEc) {
                std::error_code readEc;
                out.dangling.push_back({link.string(), fs::read_symlink(link, readEc).string()});
                continue;
            }
            StableDevice& d = byDevice[device.string()];
            d.device = device.string();
            (std::string(kind) == "by-path" ? d.byPath : d.byId).push_back(link.string());
        }
    }
    for (auto& [path, device] : byDevice) out.devices.push_back(std::move(device));
    return out;
}

bool DeviceExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

// A serial server's name (rfc2217://, tcp://) is not a file.
bool IsDeviceName(const std::string& name) { return vantrel::IsNetworkName(name); }

}  // namespace cli::platform
