// Retry of the failed: reads an earlier report, makes sure it was made with
// the files of this job, and keeps of the job only the boards it names as
// failed or interrupted.
#include "program/program_retry.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "file_policy.h"
#include "text_out.h"
#include "tolvane/file_io.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

struct Record {
    std::size_t number = 0;  // its line in the report, from 1
    Json j;
};

// Every record of the report; false after an error naming the line that is
// not one.
bool ReadRecords(const std::string& path, std::vector<Record>& records, Output& o) {
    std::string text, error;
    if (!ReadSmallFile(PathFromUtf8(path), kMostReportBytes, text, error)) {
        o.Error() << "cannot read the report to retry: " << error << "; nothing was sent";
        return false;
    }
    std::size_t number = 0;
    for (std::size_t from = 0; from < text.size();) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        from = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        Json j = Json::parse(line, nullptr, false);
        const bool record = !j.is_discarded() && j.is_object() && j.contains("port") && j["port"].is_string() &&
                            j.contains("result") && j["result"].is_string() && j.contains("address") &&
                            (j["address"].is_number_integer() || j["address"].is_null());
        if (!record) {
            o.Error() << ShownPath(path) << " line " << number
                      << " is not a board of a program report (\"port\", \"address\", \"result\"); nothing was sent";
            return false;
        }
        records.push_back({number, std::move(j)});
    }
    if (records.empty()) {
        o.Error() << ShownPath(path) << " names no board: it is not a program report; nothing was sent";
        return false;
    }
    return true;
}

// The same block names with the same hashes, in whatever order.
bool SameBlocks(const Json& reported, const Json& written) {
    if (reported.size() != written.size()) return false;
    for (const auto& [block, hash] : written.items())
        if (reported.value(block, Json()) != hash) return false;
    return true;
}

// The report was made with this job's files: its "job", or in a report
// written before records named their job, the SHA-256 of the blocks a board
// was given. The panel slot must be the same too.
bool SameJob(const std::string& path, const std::vector<Record>& records, const ProgramImages& images,
             const ProgramJob& job, Output& o) {
    const Json slot = images.hasPanel ? Json(images.slot) : Json(nullptr);
    const Json written = ImageHashes(images);
    bool identified = false;
    for (const Record& r : records) {
        if (r.j.contains("slot") && r.j["slot"] != slot) {
            o.Error() << "the job writes panel slot " << DumpJsonLine(slot) << ", " << ShownPath(path) << " line "
                      << r.number << " slot " << DumpJsonLine(r.j["slot"])
                      << ": retry with the job the report was made with; nothing was sent";
            return false;
        }
        const bool byJob = r.j.contains("job");
        const Json* sha = r.j.contains("sha256") && r.j["sha256"].is_object() ? &r.j["sha256"] : nullptr;
        if (!byJob && sha == nullptr) continue;
        identified = true;
        const bool same = byJob ? r.j["job"] == Json(job.identity) : SameBlocks(*sha, written);
        if (!same) {
            o.Error() << "the job's files are not the ones " << ShownPath(path) << " was made with (line " << r.number
                      << (byJob ? ": its \"job\" differs" : ": the blocks it wrote differ")
                      << "); retry with the same panel and mode files, or run the job anew; nothing was sent";
            return false;
        }
    }
    if (identified) return true;
    o.Error() << ShownPath(path)
              << " does not say which files it was made with (a report of an earlier version in which no board "
                 "was written): run the job for its boards without --retry-failed; nothing was sent";
    return false;
}

// The job's line of a record: the same device and position. A record of an
// earlier version has no "position" key and is found by its device alone.
ProgramLine* LineOf(const Record& r, ProgramJob& job) {
    const std::string port = r.j["port"].get<std::string>();
    const bool byPosition = r.j.contains("position");
    const std::string position =
        byPosition && r.j["position"].is_string() ? r.j["position"].get<std::string>() : std::string();
    for (ProgramLine& line : job.lines)
        if (line.device == port && (!byPosition || line.position == position)) return &line;
    return nullptr;
}

std::string BoardName(const Record& r) {
    std::string name = r.j.contains("position") && r.j["position"].is_string()
                           ? r.j["position"].get<std::string>() + " (" + r.j["port"].get<std::string>() + ")"
                           : r.j["port"].get<std::string>();
    return name + (r.j["address"].is_null() ? " (scan)" : " address " + DumpJsonLine(r.j["address"]));
}

}  // namespace

RetryPlan NarrowToFailed(const std::string& reportPath, const ProgramImages& images, ProgramJob& job, Output& o) {
    std::vector<Record> records;
    if (!ReadRecords(reportPath, records, o) || !SameJob(reportPath, records, images, job, o))
        return RetryPlan::Refused;
    // Each line of the job keeps the boards that failed on it, in the
    // report's order; a scan that found no board, or was stopped, is run again.
    std::vector<ProgramLine> retried = job.lines;
    for (ProgramLine& line : retried) {
        line.addresses.clear();
        line.scan = false;
    }
    std::size_t failed = 0;
    for (const Record& r : records) {
        const std::string result = r.j["result"].get<std::string>();
        if (result != "failed" && result != "interrupted") continue;
        ProgramLine* line = LineOf(r, job);
        const bool known =
            line != nullptr &&
            (r.j["address"].is_null() ? line->scan
                                      : line->scan || std::count(line->addresses.begin(), line->addresses.end(),
                                                                 r.j["address"].get<int>()) > 0);
        if (!known) {
            o.Error() << ShownPath(reportPath) << " line " << r.number << " names " << BoardName(r)
                      << ", which this job does not write: retry with the job the report was made with; nothing "
                         "was sent";
            return RetryPlan::Refused;
        }
        ProgramLine& into = retried[static_cast<std::size_t>(line - job.lines.data())];
        ++failed;
        if (r.j["address"].is_null()) into.scan = true;
        else if (std::count(into.addresses.begin(), into.addresses.end(), r.j["address"].get<int>()) == 0)
            into.addresses.push_back(r.j["address"].get<int>());
    }
    if (failed == 0) {
        o.Note() << "nothing to retry: every board in " << ShownPath(reportPath) << " is ok; nothing was sent";
        return RetryPlan::Nothing;
    }
    job.lines.clear();
    for (ProgramLine& line : retried) {
        if (line.scan) line.addresses.clear();  // the scan finds every board of the line again
        if (line.scan || !line.addresses.empty()) job.lines.push_back(std::move(line));
    }
    std::error_code ec;
    const fs::path absolute = fs::absolute(PathFromUtf8(reportPath), ec);
    job.continues = Utf8FromPath(ec ? PathFromUtf8(reportPath) : absolute.lexically_normal());
    return RetryPlan::Run;
}

}  // namespace cli
