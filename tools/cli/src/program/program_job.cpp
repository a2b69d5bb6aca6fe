// The job of the program command: its options, its JSON file, its images.
#include "program/program_job.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/serial_devices.h"
#include "sha256.h"
#include "files/record_files.h"
#include "tolvane/file_io.h"
#include "tolvane/modes.h"
#include "text_out.h"
#include "tolvane/panel.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

constexpr uint8_t kUseGammaBit = 0x10;  // image byte 0x3A, bit 4

std::string Resolve(const fs::path& base, const std::string& path) {
    if (path.empty() || PathFromUtf8(path).is_absolute()) return path;
    return Utf8FromPath((base / PathFromUtf8(path)).lexically_normal());
}

bool TakeString(const Json& j, const char* key, std::string& out, std::string& error) {
    if (!j.contains(key)) return true;
    if (!j[key].is_string()) {
        error = std::string("\"") + key + "\" must be a string";
        return false;
    }
    out = j[key].get<std::string>();
    return true;
}

bool AddressesFromJson(const Json& j, std::vector<int>& out, std::string& error) {
    if (!j.is_array()) {
        error = "\"addresses\" must be a list of numbers 0..254";
        return false;
    }
    for (const Json& a : j) {
        if (!a.is_number_integer() || a.get<int64_t>() < 0 || a.get<int64_t>() > 254) {
            error = "\"addresses\" holds " + a.dump() +
                    (a.is_number_integer() && a.get<int64_t>() == 255
                         ? ": 255 is the broadcast, which cannot be programmed "
                           "board by board"
                         : "; device addresses are 0..254");
            return false;
        }
        out.push_back(static_cast<int>(a.get<int64_t>()));
    }
    return true;
}

bool LineFromJson(const Json& j, const fs::path& base, ProgramLine& line, std::string& error) {
    if (!j.is_object()) {
        error = "each entry of \"lines\" must be an object with \"device\"";
        return false;
    }
    for (const auto& [key, value] : j.items())
        if (key != "device" && key != "address" && key != "addresses" && key != "scan") {
            error = "unknown key \"" + key + "\" in a line (known: device, address, addresses, scan)";
            return false;
        }
    if (!TakeString(j, "device", line.device, error)) return false;
    if (line.device.empty()) {
        error = "a line has no \"device\"";
        return false;
    }
    // A device path in the job is taken as it is: /dev paths are absolute, a
    // relative one (an emulated board's link) is beside the job file. A
    // Windows COM port is a name, not a path.
    if (!platform::IsDeviceName(line.device)) line.device = Resolve(base, line.device);
    const int given = j.contains("address") + j.contains("addresses") + j.contains("scan");
    if (given > 1) {
        error = "line " + line.device + ": give one of \"address\", \"addresses\" and \"scan\"";
        return false;
    }
    if (j.contains("address")) {
        if (!AddressesFromJson(Json::array({j["address"]}), line.addresses, error)) return false;
    } else if (j.contains("addresses")) {
        if (!AddressesFromJson(j["addresses"], line.addresses, error)) return false;
    } else if (j.contains("scan")) {
        if (!j["scan"].is_boolean()) {
            error = "\"scan\" must be true or false";
            return false;
        }
        line.scan = j["scan"].get<bool>();
    }
    if (!line.scan && line.addresses.empty()) line.addresses.push_back(0);
    return true;
}

bool ReadJobFile(const std::string& path, ProgramJob& job, std::string& error) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) {
        error = "cannot read the job file " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    Json j = Json::parse(text.str(), nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        error = "the job file " + path + " is not a JSON object";
        return false;
    }
    const fs::path base = PathFromUtf8(path).parent_path();
    static const std::set<std::string> known = {"panel", "slot", "modes", "verify", "backupDir", "report", "lines"};
    for (const auto& [key, value] : j.items())
        if (!known.count(key)) {
            error = "unknown key \"" + key + "\" in the job file " + path;
            return false;
        }
    std::string e;
    bool ok = TakeString(j, "panel", job.panelFile, e) && TakeString(j, "modes", job.modesFile, e) &&
              TakeString(j, "backupDir", job.backupDir, e) && TakeString(j, "report", job.report, e);
    if (ok && j.contains("slot")) {
        if (j["slot"].is_number_integer()) job.slot = j["slot"].get<int>();
        else ok = (e = "\"slot\" must be a number 1..4", false);
    }
    if (ok && j.contains("verify")) {
        if (j["verify"].is_boolean()) job.verify = j["verify"].get<bool>();
        else ok = (e = "\"verify\" must be true or false", false);
    }
    if (ok && j.contains("lines")) {
        if (!j["lines"].is_array()) ok = (e = "\"lines\" must be a list", false);
        for (std::size_t i = 0; ok && i < j["lines"].size(); ++i) {
            ProgramLine line;
            ok = LineFromJson(j["lines"][i], base, line, e);
            if (ok) job.lines.push_back(line);
        }
    }
    if (!ok) {
        error = "job file " + path + ": " + e;
        return false;
    }
    job.panelFile = Resolve(base, job.panelFile);
    job.modesFile = Resolve(base, job.modesFile);
    job.backupDir = Resolve(base, job.backupDir);
    job.report = Resolve(base, job.report);
    return true;
}

}  // namespace

bool ParseAddressList(const std::string& text, std::vector<int>& out, std::string& error) {
    out.clear();
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        std::size_t used = 0;
        int v = -1;
        try {
            v = std::stoi(part, &used);
        } catch (...) {
            used = 0;
        }
        if (used == 0 || used != part.size() || v < 0 || v > 255) {
            error = "--addresses: \"" + part + "\" is not a device address 0..254";
            return false;
        }
        if (v == 255) {
            error =
                "--addresses: 255 is the broadcast; every board would take the write and none could be "
                "verified. Name the boards' own addresses";
            return false;
        }
        out.push_back(v);
    }
    if (out.empty()) {
        error = "--addresses needs a list such as 1,5,9";
        return false;
    }
    return true;
}

bool BuildJob(const ProgramArgs& args, ProgramJob& job, std::string& error) {
    job = {};
    if (!args.jobFile.empty() && !ReadJobFile(args.jobFile, job, error)) return false;
    if (!args.panelFile.empty()) job.panelFile = args.panelFile;
    if (args.slot != 0) job.slot = args.slot;
    if (!args.modesFile.empty()) job.modesFile = args.modesFile;
    job.verify = job.verify || args.verify;
    if (!args.backupDir.empty()) job.backupDir = args.backupDir;
    if (!args.report.empty()) job.report = args.report;

    std::vector<int> addresses;
    if (!args.addresses.empty() && !ParseAddressList(args.addresses, addresses, error)) return false;
    if (addresses.empty() && args.addressGiven) {
        if (args.address == 255) {
            error = "device address 255 is the broadcast; the program command writes to each board's own address";
            return false;
        }
        addresses.push_back(args.address);
    }
    // Devices on the command line replace the job's lines; the command line's
    // addresses or --scan apply to every line.
    if (!args.devices.empty()) {
        job.lines.clear();
        for (const std::string& d : args.devices) job.lines.push_back({d, {}, false});
    }
    for (ProgramLine& line : job.lines) {
        if (args.scan) {
            line.scan = true;
            line.addresses.clear();
        } else if (!addresses.empty()) {
            line.scan = false;
            line.addresses = addresses;
        }
        if (!line.scan && line.addresses.empty()) line.addresses.push_back(0);
    }

    if (job.panelFile.empty() && job.modesFile.empty()) {
        error = "nothing to write: give --panel FILE --slot N, --modes FILE, or both";
        return false;
    }
    if (!job.panelFile.empty() && (job.slot < 1 || job.slot > 4)) {
        error = "a panel file needs --slot 1..4 (the panel slot it is written to)";
        return false;
    }
    if (job.panelFile.empty() && job.slot != 0) {
        error = "--slot without --panel: no panel file to write";
        return false;
    }
    if (job.lines.empty()) {
        error = "no serial line: name the devices (e.g. /dev/serial/by-id/*) or give a job file with \"lines\"";
        return false;
    }
    // The workers take their instructions as JSON, which holds only UTF-8 text.
    if (!IsValidUtf8(job.backupDir)) {
        error = "the backup folder " + ShownPath(job.backupDir) + " is not named in UTF-8; name another folder";
        return false;
    }
    std::set<std::string> seen;
    for (const ProgramLine& line : job.lines) {
        if (!IsValidUtf8(line.device)) {
            error = "the device " + ShownPath(line.device) +
                    " is not named in UTF-8; name it through a link "
                    "whose name is (e.g. one of /dev/serial/by-id/)";
            return false;
        }
        std::error_code ec;
        fs::path canon = fs::weakly_canonical(PathFromUtf8(line.device), ec);
        const std::string key = ec ? line.device : Utf8FromPath(canon);
        if (!seen.insert(key).second) {
            error = "the device " + line.device + " is named twice; one line is served by one worker";
            return false;
        }
        std::set<int> addrs(line.addresses.begin(), line.addresses.end());
        if (addrs.size() != line.addresses.size()) {
            error = "line " + line.device + ": an address is named twice";
            return false;
        }
    }
    return true;
}

bool LoadImages(const ProgramJob& job, ProgramImages& images, std::string& error) {
    images = {};
    if (!job.panelFile.empty()) {
        RecordFile file;
        if (!LoadRecordFile(job.panelFile, FileKindId::Panel, file, error)) return false;
        // Written as the file holds it, like the panel write command does.
        PanelRecordToImage(file.panel, images.panel, images.gamma);
        images.hasPanel = true;
        images.slot = job.slot;
        images.withGamma = (images.panel.bytes[panel_image::kPanelFlagsHigh] & kUseGammaBit) != 0;
    }
    if (!job.modesFile.empty()) {
        RecordFile file;
        if (!LoadRecordFile(job.modesFile, FileKindId::Modes, file, error)) return false;
        ModeTableToImage(file.modes, images.modes);
        images.hasModes = true;
    }
    return true;
}

Json ImageHashes(const ProgramImages& images) {
    Json j = Json::object();
    if (images.hasPanel) j["panelImage"] = Sha256Hex(images.panel.bytes, sizeof images.panel.bytes);
    if (images.hasPanel && images.withGamma) j["gammaTable"] = Sha256Hex(images.gamma.level, sizeof images.gamma.level);
    if (images.hasModes) j["modeTable"] = Sha256Hex(images.modes.bytes, sizeof images.modes.bytes);
    return j;
}

std::string ToHex(const uint8_t* data, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[data[i] >> 4];
        s += digits[data[i] & 15];
    }
    return s;
}

bool FromHex(const std::string& text, uint8_t* out, std::size_t n) {
    if (text.size() != 2 * n) return false;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const int hi = nibble(text[2 * i]), lo = nibble(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return true;
}

Json WorkerSpec(const ProgramJob& job, const ProgramLine& line, const ProgramImages& images) {
    Json s;
    s["device"] = line.device;
    s["addresses"] = line.addresses;
    s["scan"] = line.scan;
    s["verify"] = job.verify;
    s["backupDir"] = job.backupDir;
    if (images.hasPanel) {
        s["slot"] = images.slot;
        s["panel"] = ToHex(images.panel.bytes, sizeof images.panel.bytes);
        if (images.withGamma) s["gamma"] = ToHex(images.gamma.level, sizeof images.gamma.level);
    }
    if (images.hasModes) s["modes"] = ToHex(images.modes.bytes, sizeof images.modes.bytes);
    return s;
}

bool SpecToImages(const Json& spec, ProgramImages& images, std::string& error) {
    images = {};
    try {
        if (spec.contains("panel")) {
            images.hasPanel = true;
            images.slot = spec.at("slot").get<int>();
            if (!FromHex(spec["panel"].get<std::string>(), images.panel.bytes, sizeof images.panel.bytes))
                throw std::runtime_error("panel");
            if (spec.contains("gamma")) {
                images.withGamma = true;
                if (!FromHex(spec["gamma"].get<std::string>(), images.gamma.level, sizeof images.gamma.level))
                    throw std::runtime_error("gamma");
            }
        }
        if (spec.contains("modes")) {
            images.hasModes = true;
            if (!FromHex(spec["modes"].get<std::string>(), images.modes.bytes, sizeof images.modes.bytes))
                throw std::runtime_error("modes");
        }
    } catch (const std::exception& e) {
        error = std::string("bad worker instructions (") + e.what() + ")";
        return false;
    }
    if (images.hasPanel && (images.slot < 1 || images.slot > 4)) {
        error = "bad worker instructions (slot)";
        return false;
    }
    return true;
}

}  // namespace cli
