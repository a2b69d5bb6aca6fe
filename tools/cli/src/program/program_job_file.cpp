// The job file of the program command: JSON, every key optional, unknown or
// repeated keys refused, paths taken from the job file's folder.
#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include "file_policy.h"
#include "platform/serial_devices.h"
#include "program/program_job.h"
#include "text_out.h"
#include "tolvane/file_io.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMostJobBytes = 1u << 20;

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

bool TakeBool(const Json& j, const char* key, bool& out, std::string& error) {
    if (!j.contains(key)) return true;
    if (!j[key].is_boolean()) {
        error = std::string("\"") + key + "\" must be true or false";
        return false;
    }
    out = j[key].get<bool>();
    return true;
}

bool AddressesFromJson(const Json& j, std::vector<int>& out, std::string& error) {
    if (!j.is_array()) {
        error = "\"addresses\" must be a list of numbers 0..254";
        return false;
    }
    if (j.empty()) {
        error =
            "\"addresses\" is empty; name the boards' device addresses, e.g. [1, 5, 9], or leave the key out "
            "for address 0";
        return false;
    }
    for (const Json& a : j) {
        if (!a.is_number_integer() || a.get<int64_t>() < 0 || a.get<int64_t>() > 254) {
            error = "\"addresses\" holds " + DumpJsonLine(a) +
                    (a.is_number_integer() && a.get<int64_t>() == 255
                         ? ": 255 is the broadcast, which cannot be programmed board by board"
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
        if (key != "position" && key != "device" && key != "address" && key != "addresses" && key != "scan") {
            error = "unknown key \"" + key + "\" in a line (known: position, device, address, addresses, scan)";
            return false;
        }
    if (!TakeString(j, "position", line.position, error)) return false;
    // Shown in the live view, the table and the messages: plain text only.
    if (j.contains("position") &&
        (line.position.empty() || std::any_of(line.position.begin(), line.position.end(), [](char c) {
             return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
         }))) {
        error = "a line's \"position\" must be a name such as \"A1\", without control characters";
        return false;
    }
    if (!TakeString(j, "device", line.device, error)) return false;
    if (line.device.empty()) {
        error = "a line has no \"device\"";
        return false;
    }
    // A device path in the job is taken as it is: /dev paths are absolute, a
    // relative one (an emulated board's link) is beside the job file. A
    // Windows COM port is a name, not a path, and so is a network line
    // (rfc2217://HOST:PORT, tcp://HOST:PORT).
    if (!platform::IsDeviceName(line.device))
        line.device = Resolve(base, line.device);
    const int given = j.contains("address") + j.contains("addresses") + j.contains("scan");
    if (given > 1) {
        error = "line " + line.device + ": give one of \"address\", \"addresses\" and \"scan\"";
        return false;
    }
    if (j.contains("address")) {
        if (!AddressesFromJson(Json::array({j["address"]}), line.addresses, error)) return false;
    } else if (j.contains("addresses")) {
        if (!AddressesFromJson(j["addresses"], line.addresses, error)) return false;
    } else if (!TakeBool(j, "scan", line.scan, error)) {
        return false;
    }
    if (!line.scan && line.addresses.empty()) line.addresses.push_back(0);
    return true;
}

// The parser keeps the last of two equal keys without a word; a job file
// that names one twice is refused instead, as a typo would be.
Json ParseRefusingRepeatedKeys(const std::string& text, std::string& repeated) {
    std::vector<std::set<std::string>> open;
    const Json::parser_callback_t watch = [&](int, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::object_start) {
            open.emplace_back();
        } else if (event == Json::parse_event_t::object_end && !open.empty()) {
            open.pop_back();
        } else if (event == Json::parse_event_t::key && !open.empty() &&
                   !open.back().insert(parsed.get<std::string>()).second && repeated.empty()) {
            repeated = parsed.get<std::string>();
        }
        return true;
    };
    return Json::parse(text, watch, false);
}

bool JobFromJson(const Json& j, const fs::path& base, ProgramJob& job, std::string& e) {
    static const std::set<std::string> known = {"panel", "slot",   "modes", "verify",
                                                "force", "report", "lines", "backupDir"};
    for (const auto& [key, value] : j.items())
        if (!known.count(key)) {
            e = "unknown key \"" + key + "\"";
            return false;
        }
    if (!TakeString(j, "panel", job.panelFile, e) || !TakeString(j, "modes", job.modesFile, e) ||
        !TakeString(j, "backupDir", job.backupDir, e) || !TakeString(j, "report", job.report, e) ||
        !TakeBool(j, "verify", job.verify, e) || !TakeBool(j, "force", job.force, e))
        return false;
    if (j.contains("slot")) {
        if (!j["slot"].is_number_integer()) {
            e = "\"slot\" must be a number 1..4";
            return false;
        }
        job.slot = j["slot"].get<int>();
    }
    if (j.contains("lines")) {
        if (!j["lines"].is_array()) {
            e = "\"lines\" must be a list";
            return false;
        }
        for (const Json& entry : j["lines"]) {
            ProgramLine line;
            const std::string number = "\"lines\" entry " + std::to_string(job.lines.size() + 1);
            if (!LineFromJson(entry, base, line, e)) {
                e = number + ": " + e;
                return false;
            }
            // One position is one place in the fixture: a second line there
            // would make its reports and retries ambiguous.
            for (std::size_t k = 0; k < job.lines.size() && !line.position.empty(); ++k)
                if (job.lines[k].position == line.position) {
                    e = number + " (" + line.device + "): the position \"" + line.position + "\" is already entry " +
                        std::to_string(k + 1) + "'s (" + job.lines[k].device +
                        "); each position names one place in the fixture";
                    return false;
                }
            job.lines.push_back(line);
        }
    }
    job.panelFile = Resolve(base, job.panelFile);
    job.modesFile = Resolve(base, job.modesFile);
    job.backupDir = Resolve(base, job.backupDir);
    job.report = Resolve(base, job.report);
    return true;
}

}  // namespace

bool ReadJobFile(const std::string& path, ProgramJob& job, std::string& error) {
    std::string text;
    if (!ReadSmallFile(PathFromUtf8(path), kMostJobBytes, text, error)) return false;
    std::string repeated;
    const Json j = ParseRefusingRepeatedKeys(text, repeated);
    if (j.is_discarded() || !j.is_object()) {
        error = "the job file " + path + " is not a JSON object";
        return false;
    }
    std::string e;
    if (!repeated.empty()) e = "the key \"" + repeated + "\" is given twice; give each key once";
    else JobFromJson(j, PathFromUtf8(path).parent_path(), job, e);
    if (e.empty()) return true;
    error = "job file " + path + ": " + e;
    return false;
}

}  // namespace cli
