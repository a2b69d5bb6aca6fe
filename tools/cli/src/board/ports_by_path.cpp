// tolvane2-cli ports --by-path: the names of each serial device that stay the
// same when adapters are replugged, and a job file with one fixture position
// per device, so that "the board in position A3" keeps naming one socket.
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "board/ports_by_path.h"
#include "natural_order.h"
#include "platform/serial_devices.h"
#include "text_out.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultSerialDir = "/dev/serial";

// The name a job line uses: the by-path link names the physical socket and so
// stays with the fixture when an adapter is swapped; the by-id link follows
// the adapter; the device itself is renumbered on replug. A name that is not
// UTF-8 cannot be written into a JSON job and is passed over.
std::string JobDevice(const platform::StableDevice& d) {
    for (const auto* names : {&d.byPath, &d.byId})
        for (const std::string& n : *names)
            if (IsValidUtf8(n)) return n;
    return IsValidUtf8(d.device) ? d.device : std::string();
}

// By-path devices first (by socket), then by-id, then by location, then the rest by name.
std::pair<int, std::string> SortKey(const platform::StableDevice& d) {
    if (!d.byPath.empty()) return {0, d.byPath.front()};
    if (!d.byId.empty()) return {1, d.byId.front()};
    if (!d.locationPaths.empty()) return {2, d.locationPaths.front()};
    return {3, d.device};
}

Json Strings(const std::vector<std::string>& texts) {
    Json a = Json::array();
    for (const std::string& t : texts) a.push_back(ShownPath(t));
    return a;
}

// The skeleton as text: one job line per line of text, so that it reads as
// a fixture plan and still is a JSON document.
std::string SkeletonText(const Json& skeleton) {
    std::ostringstream s;
    s << "{\n  \"lines\": [\n";
    const Json& lines = skeleton["lines"];
    for (std::size_t i = 0; i < lines.size(); ++i)
        s << "    " << DumpJsonLine(lines[i]) << (i + 1 < lines.size() ? ",\n" : "\n");
    s << "  ]\n}\n";
    return s.str();
}

void PrintText(const Json& devices, const Json& skeleton, Output& o) {
    for (const Json& d : devices) {
        o.out << d["position"].get<std::string>() << "  " << d["device"].get<std::string>() << "\n";
        for (const auto& [key, label] : {std::pair{"byPath", "by-path "}, std::pair{"byId", "by-id   "},
                                         std::pair{"locationPaths", "location path "}})
            for (const Json& n : d[key]) o.out << "    " << label << " " << n.get<std::string>() << "\n";
        if (d["location"].is_string()) o.out << "    location " << d["location"].get<std::string>() << "\n";
    }
    if (skeleton.is_null()) return;
    o.out << "\nJob file skeleton (one position per device; set each line's addresses and add the panel, slot and "
             "modes):\n"
          << SkeletonText(skeleton);
}

}  // namespace

int CmdPortsByPath(const std::string& serialDir, Output& o) {
#ifdef _WIN32
    if (!serialDir.empty()) {
        o.Error() << "--serial-dir: Windows has no folder of serial links; the ports are named by their location";
        return 2;
    }
#else
    std::error_code ec;
    if (!serialDir.empty() && !fs::is_directory(serialDir, ec)) {
        o.Error() << ShownPath(serialDir) << ": no such folder";
        return 1;
    }
#endif
    const std::string dir = serialDir.empty() ? kDefaultSerialDir : serialDir;
    platform::StableNames found = platform::StableSerialNames(dir);
    for (const auto& l : found.dangling)
        o.Note() << ShownPath(l.link) << ": a link to " << ShownPath(l.target) << ", which is not there (skipped)";
    auto& devices = found.devices;
    std::sort(devices.begin(), devices.end(), [](const auto& a, const auto& b) {
        const auto ka = SortKey(a), kb = SortKey(b);
        return ka.first != kb.first ? ka.first < kb.first : NaturalLess(ka.second, kb.second);
    });

    Json list = Json::array(), lines = Json::array();
    for (const auto& d : devices) {
        const std::string position = "A" + std::to_string(list.size() + 1);
        const std::string jobDevice = JobDevice(d);
        Json j;
        j["position"] = position;
        j["device"] = ShownPath(d.device);
        j["jobDevice"] = jobDevice;
        j["byPath"] = Strings(d.byPath);
        j["byId"] = Strings(d.byId);
        j["location"] = d.location.empty() ? Json() : Json(d.location);
        j["locationPaths"] = Strings(d.locationPaths);
        list.push_back(j);
        if (jobDevice.empty()) {
            o.Note() << ShownPath(d.device) << " has no name that a JSON job file can hold (not UTF-8); it is left "
                     << "out of the skeleton";
            continue;
        }
        lines.push_back({{"position", position}, {"device", jobDevice}, {"addresses", Json::array({1})}});
    }
    const Json skeleton = lines.empty() ? Json() : Json{{"lines", lines}};
    if (list.empty()) {
#ifdef _WIN32
        o.Note() << "no serial ports found";
#else
        o.Note() << "no serial devices with stable names: " << ShownPath(dir) << "/by-path and " << ShownPath(dir)
                 << "/by-id hold no link to a device that is there";
#endif
    }
    if (o.json) {
        Json j;
        j["serialDir"] = ShownPath(dir);
        j["devices"] = list;
        Json dangling = Json::array();
        for (const auto& l : found.dangling)
            dangling.push_back({{"link", ShownPath(l.link)}, {"target", ShownPath(l.target)}});
        j["dangling"] = dangling;
        j["skeleton"] = skeleton;
        o.WriteJson(j);
        return 0;
    }
    if (!list.empty()) PrintText(list, skeleton, o);
    return 0;
}

}  // namespace cli
