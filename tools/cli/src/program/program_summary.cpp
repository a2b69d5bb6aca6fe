// The end of a production job: the summary table or JSON Lines, a line on
// standard error for each board that is not ok with the command that puts
// its backups back, and the JSON Lines report.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "board/board_write.h"
#include "board/link_session.h"
#include "file_policy.h"
#include "program/program_rows.h"
#include "tolvane/file_io.h"
#include "tolvane/files.h"
#include "vantrel.h"
#include "version.h"

namespace cli {
namespace {

std::string Text(const Json& j, const char* key) {
    return j.is_object() && j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : std::string();
}

// Columns are counted in characters as a terminal shows them: one for each
// UTF-8 code point (device names are UTF-8, see BuildJob).
std::size_t Shown(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

std::string PadRight(std::string s, std::size_t width) {
    const std::size_t shown = Shown(s);
    if (shown < width) s.append(width - shown, ' ');
    return s;
}

Json NullWhenEmpty(const std::string& s) { return s.empty() ? Json(nullptr) : Json(s); }

Json ReportLine(const Outcome& x, const Row& r) {
    const Json& res = r.result;
    const Line& line = x.lines[r.line];
    Json j;
    j["position"] = NullWhenEmpty(line.spec.position);
    j["port"] = line.spec.device;
    j["device"] = line.resolved;
    j["address"] = r.address;
    j["version"] = res.value("version", Json(nullptr));
    j["slot"] = x.images.hasPanel ? Json(x.images.slot) : Json(nullptr);
    j["result"] = res["result"];
    j["state"] = res["state"];
    j["step"] = res["step"];
    j["error"] = res["error"];
    j["verify"] = res["verify"];
    j["sha256Before"] = r.before.empty() ? Json(nullptr) : r.before;
    j["sha256"] = res["state"] == "untouched" ? Json(nullptr) : ImageHashes(x.images);
    j["durationMs"] = res["durationMs"];
    j["backups"] = r.backups;
    const std::string restore = RestoreLine(x, r);
    j["restore"] = restore.empty() ? Json(nullptr) : Json(restore);
    j["start"] = res.value("start", Json(nullptr));
    j["end"] = res.value("end", Json(nullptr));
    j["station"] = x.job.station;
    j["toolVersion"] = kToolVersion;
    j["job"] = x.job.identity;
    j["continues"] = NullWhenEmpty(x.job.continues);
    return j;
}

void WriteTable(const Outcome& x, Output& o) {
    std::size_t port = 4, position = 0;
    for (const Row& r : x.rows) {
        port = std::max(port, Shown(x.lines[r.line].spec.device));
        position = std::max(position, Shown(x.lines[r.line].spec.position));
    }
    // The POSITION column only when the job names positions.
    if (position > 0) position = std::max<std::size_t>(position, 8) + 1;
    auto positionOf = [&](const Row& r) {
        const std::string& p = x.lines[r.line].spec.position;
        return position == 0 ? std::string() : PadRight(p.empty() ? "-" : p, position);
    };
    char rest[512];
    std::snprintf(rest, sizeof rest, " %5s %7s %-11s %-8s %-12s %-11s %8s", "ADDR", "VERSION", "RESULT", "STEP",
                  "STATE", "VERIFY", "TIME");
    o.out << (position == 0 ? std::string() : PadRight("POSITION", position)) << PadRight("PORT", port) << rest << "\n";
    std::size_t ok = 0;
    for (const Row& r : x.rows) {
        const Json& res = r.result;
        ok += Text(res, "result") == "ok";
        const std::string address = r.address.is_null() ? "-" : DumpJsonLine(r.address);
        const std::string version = Text(res, "version"), step = Text(res, "step");
        std::snprintf(rest, sizeof rest, " %5s %7s %-11s %-8s %-12s %-11s %6.2f s", address.c_str(),
                      version.empty() ? "-" : version.c_str(), Text(res, "result").c_str(),
                      step.empty() ? "-" : step.c_str(), Text(res, "state").c_str(), Text(res, "verify").c_str(),
                      res.value("durationMs", 0) / 1000.0);
        o.out << positionOf(r) << PadRight(x.lines[r.line].spec.device, port) << rest << "\n";
    }
    o.out << ok << " of " << Plural(x.rows.size(), "board", "boards") << " ok\n" << std::flush;
}

void SayWhatFailed(const Outcome& x, Output& o) {
    for (const Row& r : x.rows) {
        if (Text(r.result, "result") == "ok") continue;
        const std::string restore = RestoreLine(x, r);
        auto line = o.Error();
        line << DescribeRow(x, r);
        if (Text(r.result, "state") == "untouched") line << "; the board was not changed";
        else if (!restore.empty()) line << "; restore it with: " << restore;
        else line << "; no backup was taken (--backup-dir DIR saves one)";
    }
}

bool WriteReport(const Outcome& x, std::string& error) {
    std::string text;
    for (const Row& r : x.rows) text += DumpJsonLine(ReportLine(x, r)) + "\n";
    const std::filesystem::path path = PathFromUtf8(x.job.report);
    if (WriteFileAtomically(path, text.data(), text.size())) return true;
    error = WriteFailure(path, "cannot write the report", errno);
    return false;
}

}  // namespace

std::string LineName(const ProgramLine& line) {
    return line.position.empty() ? line.device : line.position + " (" + line.device + ")";
}

std::string RowName(const Outcome& x, const Row& r) {
    return LineName(x.lines[r.line].spec) +
           (r.address.is_null() ? std::string(" (scan)") : " address " + DumpJsonLine(r.address));
}

std::string DescribeRow(const Outcome& x, const Row& r) {
    const Json& res = r.result;
    const std::string result = Text(res, "result");
    char secs[32];
    std::snprintf(secs, sizeof secs, "%.2f s", res.value("durationMs", 0) / 1000.0);
    if (result == "ok") return RowName(x, r) + ": ok (" + secs + ")";
    const std::string step = Text(res, "step");
    return RowName(x, r) + ": " + (result == "interrupted" ? "stopped" : "FAILED") + " at " +
           (step.empty() ? "?" : step) + " (" + Text(res, "state") + "): " + Text(res, "error");
}

std::string RestoreLine(const Outcome& x, const Row& r) {
    if (r.address.is_null() || !r.address.is_number_integer()) return {};
    const BoardTarget t{1, x.lines[r.line].spec.device, r.address.get<int>()};
    std::string line;
    auto add = [&](const char* what, std::vector<std::string> words) {
        if (!r.backups.contains(what)) return;
        words.push_back("--verify");
        if (r.withErrors.count(what)) words.push_back("--force");
        line += (line.empty() ? "" : " && ") + RepairCommand(t, words);
    };
    const uint32_t slot = x.images.hasPanel ? static_cast<uint32_t>(x.images.slot - 1) : 0;
    // A gamma table the job wrote over a slot whose old image used none: a
    // panel write of the backup writes only the image, so the old table
    // goes back as the bytes it was.
    add("gamma", {"flash", "write", Hex4(VANTREL_GAMMA_BASE + VANTREL_GAMMA_SIZE * slot), Text(r.backups, "gamma"),
                  "--yes", "--force"});
    add("panel", {"panel", "write", Text(r.backups, "panel"), std::to_string(slot + 1)});
    add("modes", {"modes", "write", Text(r.backups, "modes")});
    return line;
}

int FinishProgram(const Outcome& x, Output& o) {
    std::size_t ok = 0;
    for (const Row& r : x.rows) ok += Text(r.result, "result") == "ok";
    int code = !x.rows.empty() && ok == x.rows.size() && !x.interrupted ? 0 : 1;
    if (o.json)
        for (const Row& r : x.rows) o.WriteJsonLine(ReportLine(x, r));
    else WriteTable(x, o);
    SayWhatFailed(x, o);
    bool reported = false;
    if (!x.job.report.empty()) {
        std::string error;
        reported = WriteReport(x, error);
        if (reported) o.Plain() << "Report written to " << x.job.report;
        else o.Error() << error;
        code = reported ? code : 1;
    }
    if (o.json)
        o.WriteJsonLine({{"ok", code == 0},
                         {"command", "program"},
                         {"exitCode", code},
                         {"boards", x.rows.size()},
                         {"boardsOk", ok},
                         {"report", reported ? Json(x.job.report) : Json(nullptr)},
                         {"error", o.Errors().empty() ? Json(nullptr) : Json(o.Errors().front())}});
    return code;
}

}  // namespace cli
