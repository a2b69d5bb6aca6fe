// The job of the program command: its options, its JSON file, its images.
#include "program/program_job.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include "board/board_write.h"
#include "console/console_common.h"
#include "file_policy.h"
#include "files/record_files.h"
#include "sha256.h"
#include "text_out.h"
#include "tolvane/file_io.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"
#include "tolvane/panel_checks.h"
#include "vantrel.h"

namespace cli {

namespace fs = std::filesystem;

bool ParseAddressList(const std::string& text, std::vector<int>& out, std::string& error) {
    out.clear();
    if (text.empty()) {
        error = "--addresses is empty; name the boards' device addresses, such as 1,5,9 or 0x05";
        return false;
    }
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        const std::string part = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        // Numbers as the console commands take them: decimal or 0x and hex digits.
        const auto v = console::ParseNumber(part, 255);
        if (!v) {
            error = "--addresses: \"" + part + "\" is not a device address 0..254 (decimal, or 0x and hex digits)";
            return false;
        }
        if (*v == 255) {
            error =
                "--addresses: 255 is the broadcast; every board would take the write and none could be "
                "verified. Name the boards' own addresses";
            return false;
        }
        out.push_back(static_cast<int>(*v));
        if (comma == std::string::npos) return true;
        from = comma + 1;
    }
}

namespace {

// What a job must hold whichever way it was given.
bool CheckJob(const ProgramJob& job, std::string& error) {
    if (job.panelFile.empty() && job.modesFile.empty()) {
        error = "nothing to write: give --panel FILE --slot N, --modes FILE, or both";
        return false;
    }
    if (!job.panelFile.empty() && (job.slot < 1 || job.slot > static_cast<int>(VANTREL_PANEL_SLOTS))) {
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

// A file of the job, loaded and checked like panel write and modes write do:
// refused when the checks find an error, unless --force.
bool LoadChecked(const std::string& path, FileKindId kind, bool force, RecordFile& file, Output& o) {
    std::string error;
    if (!LoadRecordFile(path, kind, file, error)) {
        o.Error() << error << "; nothing was sent";
        return false;
    }
    for (const std::string& warning : file.warnings) o.Note() << warning;
    const auto findings = kind == FileKindId::Panel ? CheckPanelRecord(file.panel) : CheckModeTable(file.modes);
    return AcceptFindings(ShownPath(path), findings, force, o);
}

}  // namespace

bool BuildJob(const ProgramArgs& args, ProgramJob& job, std::string& error) {
    job = {};
    if (!args.jobFile.empty() && !ReadJobFile(args.jobFile, job, error)) return false;
    if (!args.panelFile.empty()) job.panelFile = args.panelFile;
    if (args.slot != 0) job.slot = args.slot;
    if (!args.modesFile.empty()) job.modesFile = args.modesFile;
    job.verify = job.verify || args.verify;
    job.force = job.force || args.force;
    if (!args.backupDir.empty()) job.backupDir = args.backupDir;
    if (!args.report.empty()) job.report = args.report;

    std::vector<int> addresses;
    if ((args.addressesGiven || !args.addresses.empty()) && !ParseAddressList(args.addresses, addresses, error))
        return false;
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
        for (const std::string& d : args.devices) job.lines.push_back({"", d, {}, false});
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
    return CheckJob(job, error);
}

bool LoadImages(const ProgramJob& job, ProgramImages& images, Output& o) {
    images = {};
    if (!job.panelFile.empty()) {
        RecordFile file;
        if (!LoadChecked(job.panelFile, FileKindId::Panel, job.force, file, o)) return false;
        // Written as the file holds it, like the panel write command does.
        PanelRecordToImage(file.panel, images.panel, images.gamma);
        images.hasPanel = true;
        images.slot = job.slot;
        images.withGamma = ImageUsesGamma(images.panel);
    }
    if (!job.modesFile.empty()) {
        RecordFile file;
        if (!LoadChecked(job.modesFile, FileKindId::Modes, job.force, file, o)) return false;
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

bool JobIdentity(const ProgramJob& job, std::string& id, std::string& error) {
    // Far beyond any panel or mode file, JSON forms included.
    constexpr std::size_t kMostFileBytes = 16u << 20;
    std::string all;
    for (const auto& [name, path] : {std::pair<const char*, const std::string&>{"panel", job.panelFile},
                                     std::pair<const char*, const std::string&>{"modes", job.modesFile}}) {
        if (path.empty()) continue;
        std::string bytes;
        if (!ReadSmallFile(PathFromUtf8(path), kMostFileBytes, bytes, error)) return false;
        // The name and the size first: no two different sets of files give the same text.
        all += std::string(name) + " " + std::to_string(bytes.size()) + "\n" + bytes;
    }
    id = Sha256Hex(reinterpret_cast<const uint8_t*>(all.data()), all.size());
    return true;
}

std::string IsoUtc(std::chrono::system_clock::time_point t) {
    using namespace std::chrono;
    const int64_t ms = duration_cast<milliseconds>(t.time_since_epoch()).count();
    // Days and the time of day, rounded down also before 1970.
    int64_t days = ms / 86400000, rest = ms % 86400000;
    if (rest < 0) rest += 86400000, --days;
    // The civil date of a day count (the proleptic Gregorian calendar, in
    // eras of 400 years), without gmtime, which is neither thread-safe nor
    // spelled the same on every system.
    const int64_t z = days + 719468, era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097, yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2);
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(rest / 3600000),
                  static_cast<long long>(rest / 60000 % 60), static_cast<long long>(rest / 1000 % 60),
                  static_cast<long long>(rest % 1000));
    return text;
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
    if (images.hasPanel && (images.slot < 1 || images.slot > static_cast<int>(VANTREL_PANEL_SLOTS))) {
        error = "bad worker instructions (slot)";
        return false;
    }
    return true;
}

}  // namespace cli
