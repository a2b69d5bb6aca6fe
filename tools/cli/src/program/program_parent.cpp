// The parent of a production job: it checks the job's files, starts one
// worker per line, follows their JSON lines and draws the live view; the
// summary and the report are program_summary.cpp's. The worker processes
// themselves are the platform layer's.
#include "program/program_parent.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "declared_files.h"
#include "platform/serial_devices.h"
#include "platform/terminal.h"
#include "platform/worker_processes.h"
#include "program/program_retry.h"
#include "program/program_rows.h"
#include "program/program_worker.h"
#include "tolvane/file_io.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The device a line's path leads to: a by-path or by-id link's tty, so that
// the report says which adapter it was that day. Network lines and Windows
// port names are names, not paths, and stay as given, as does a path that
// does not lead anywhere now.
std::string ResolvedDevice(const std::string& device) {
    if (platform::IsDeviceName(device)) return device;
    std::error_code ec;
    const fs::path target = fs::canonical(PathFromUtf8(device), ec);
    return ec ? device : Utf8FromPath(target);
}

class Program {
public:
    Program(const ProgramJob& job, const ProgramImages& images, Output& o) : job_(job), images_(images), o_(o) {
        for (std::size_t i = 0; i < job.lines.size(); ++i) {
            lines_.emplace_back(job.lines[i]);
            lines_.back().resolved = ResolvedDevice(job.lines[i].device);
            if (job.lines[i].scan) rows_.emplace_back(i, Json(nullptr));
            for (int a : job.lines[i].addresses) rows_.emplace_back(i, Json(a));
        }
    }

    int Run() {
        bool interrupted = false;
        {
            platform::InterruptWatch watch;
            for (Line& l : lines_) Spawn(l);
            Follow(watch);
            interrupted = watch.Interrupted();
        }
        for (std::size_t i = 0; i < lines_.size(); ++i) CloseRows(i);
        if (progress_) Draw();
        return FinishProgram(Outcome{job_, images_, lines_, rows_, interrupted}, o_);
    }

private:
    Outcome View() const { return Outcome{job_, images_, lines_, rows_, false}; }

    void Spawn(Line& l) {
        const std::string spec = DumpJsonLine(WorkerSpec(job_, l.spec, images_));
        l.running = workers_.Start({kWorkerCommand, spec}, l.worker, l.fatal);
    }

    // Reads every worker's lines until all of them have ended.
    void Follow(const platform::InterruptWatch& watch) {
        bool forwarded = false;
        auto lastDraw = Clock::now() - std::chrono::seconds(1);
        while (workers_.Running()) {
            if (watch.Interrupted() && !forwarded) {
                forwarded = true;
                workers_.RequestStop();
                // Said once the stop line is in every worker's input.
                Message("Stopping: every line finishes the transaction on the wire, then the report is written");
            }
            const platform::WorkerEvent ev = workers_.Next(100);
            for (std::size_t i = 0; i < lines_.size(); ++i) {
                Line& l = lines_[i];
                if (ev.kind == platform::WorkerEvent::Kind::None || !l.running || l.worker != ev.worker) continue;
                if (ev.kind == platform::WorkerEvent::Kind::Line) {
                    const Json j = Json::parse(ev.line, nullptr, false);
                    if (!j.is_discarded() && j.is_object()) Handle(i, j);
                } else {
                    l.running = false;
                    l.exitCode = ev.exitCode;
                    l.why = ev.why;
                    l.endedAt = IsoUtc(std::chrono::system_clock::now());
                }
            }
            if (progress_ && Clock::now() - lastDraw > std::chrono::milliseconds(100)) {
                Draw();
                lastDraw = Clock::now();
            }
        }
    }

    Row* Find(std::size_t line, const Json& address) {
        for (Row& r : rows_)
            if (r.line == line && r.address == address) return &r;
        return nullptr;
    }

    // A scan's end: a row for each board that answered. The scan's own row
    // stays when nothing answered, and when the scan was stopped before its
    // end (its result says so).
    void Scanned(std::size_t i, const Json& ev) {
        const Json found = ev.value("found", Json::array());
        for (const Json& a : found)
            if (!Find(i, a)) rows_.emplace_back(i, a);
        if (!found.empty() && ev.value("complete", true))
            rows_.erase(std::remove_if(rows_.begin(), rows_.end(),
                                       [i](const Row& r) { return r.line == i && r.address.is_null(); }),
                        rows_.end());
        if (!progress_)
            Message(LineName(lines_[i].spec) + ": " + Plural(found.size(), "board", "boards") + " answered");
    }

    void Handle(std::size_t i, const Json& ev) {
        const std::string kind = ev.value("ev", std::string());
        if (kind == "end") return void(lines_[i].ended = true);
        if (kind == "fatal") return void(lines_[i].fatal = ev.value("error", std::string("the worker stopped")));
        if (kind == "scan") return Scanned(i, ev);
        Row* r = ev.contains("address") ? Find(i, ev["address"]) : nullptr;
        if (r == nullptr) return;
        if (kind == "backup") {
            // Known here as soon as it is saved: a worker that dies later
            // still leaves its backups in the report and the restore line.
            const std::string what = ev.value("what", std::string());
            r->backups[what] = ev.value("path", std::string());
            if (ev.value("errors", false)) r->withErrors.insert(what);
            const Json hashes = ev.value("sha256", Json::object());
            if (hashes.is_object()) r->before.update(hashes);
        } else if (kind == "result") {
            r->result = ev;
            if (!progress_) Message(DescribeRow(View(), *r));
        } else if (kind == "step") {
            const std::string step = ev.value("step", std::string());
            if (step != r->step && !progress_) Message(RowName(View(), *r) + ": " + step);
            if (r->started.is_null()) r->started = IsoUtc(std::chrono::system_clock::now());
            r->step = step;
            r->done = ev.value("done", 0u);
            r->total = ev.value("total", 0u);
        }
    }

    // Boards a worker left without a result: it died, or never started. A
    // write that began may have reached the board, even before its first
    // chunk was confirmed.
    void CloseRows(std::size_t i) {
        const Line& l = lines_[i];
        std::string why = l.fatal.empty() ? l.why : l.fatal;
        if (why.empty()) why = "the worker ended (status " + std::to_string(l.exitCode) + ") without a result";
        const Json ended = l.endedAt.is_null() ? Json(IsoUtc(std::chrono::system_clock::now())) : l.endedAt;
        for (Row& r : rows_) {
            if (r.line != i || !r.result.is_null()) continue;
            const bool past = r.step == "verify" || r.step == "reset";
            r.result = {{"address", r.address},
                        {"version", nullptr},
                        {"result", "failed"},
                        {"state", r.step == "write" ? "half-written"
                                  : past            ? "written"
                                                    : "untouched"},
                        {"step", r.step},
                        {"error", why},
                        {"verify", "not reached"},
                        {"durationMs", 0},
                        // A board never begun has no time of its own.
                        {"start", r.started},
                        {"end", r.started.is_null() ? Json(nullptr) : ended}};
        }
    }

    void Message(const std::string& text) {
        if (progress_) Draw(text);
        else o_.Plain() << text;
    }

    // One line per port: its current board, step and progress.
    void Draw(const std::string& message = std::string()) {
        std::string s;
        if (drawn_ > 0) s += "\x1b[" + std::to_string(drawn_) + "F";
        if (!message.empty()) s += "\x1b[2K" + ShownText(message) + "\n";
        for (std::size_t i = 0; i < lines_.size(); ++i) s += "\x1b[2K" + LineView(i) + "\n";
        drawn_ = static_cast<int>(lines_.size());
        o_.err << s << std::flush;
    }

    std::string LineView(std::size_t i) const {
        const Row* current = nullptr;
        int finished = 0, ok = 0, count = 0;
        for (const Row& r : rows_) {
            if (r.line != i) continue;
            ++count;
            if (!r.result.is_null()) {
                ++finished;
                ok += r.result.value("result", std::string()) == "ok";
            } else if (current == nullptr && r.step != "waiting") {
                current = &r;
            }
        }
        std::string text = LineName(lines_[i].spec) + "  ";
        if (current != nullptr) {
            const unsigned pct = current->total ? std::min(100u, current->done * 100 / current->total) : 0;
            std::string bar(pct / 5, '#');
            bar.append(20 - pct / 5, '.');
            text += current->address.is_null() ? std::string("scan") : "address " + DumpJsonLine(current->address);
            text += "  " + current->step + " [" + bar + "] " + std::to_string(pct) + "%  ";
        }
        return text + "(" + std::to_string(finished) + "/" + std::to_string(count) + " done, " + std::to_string(ok) +
               " ok)";
    }

    const ProgramJob& job_;
    const ProgramImages& images_;
    Output& o_;
    std::vector<Line> lines_;
    std::vector<Row> rows_;
    int drawn_ = 0;
    platform::CursorControl cursor_;
    bool progress_ = o_.progress && cursor_.Available();
    platform::WorkerProcesses workers_;
};

// The files the job names, checked as the framework checks the command
// line's, now that the job file's are known too: inputs are regular files,
// the report is no input, job file or device and can be written, the
// backup folder is made. Exit 2 before any board is touched.
int CheckJobFiles(const ProgramArgs& args, const ProgramJob& job, Output& o) {
    std::vector<PolicyFile> files = {{FileRole::Input, job.panelFile, 0},
                                     {FileRole::Input, job.modesFile, 0},
                                     {FileRole::Job, args.jobFile, 0},
                                     // Read, and never the new report.
                                     {FileRole::Input, args.retryFailed, kMostReportBytes},
                                     {FileRole::BackupDir, job.backupDir, 0},
                                     {FileRole::Report, job.report, 0}};
    std::vector<std::string> devices;
    for (const ProgramLine& line : job.lines) devices.push_back(line.device);
    return CheckFiles(files, devices, true, o);
}

}  // namespace

int RunProgram(const ProgramArgs& args, Output& o) {
    ProgramJob job;
    std::string error;
    if (!BuildJob(args, job, error)) {
        o.Error() << error;
        return 2;
    }
    if (const int refused = CheckJobFiles(args, job, o)) return refused;
    ProgramImages images;
    if (!LoadImages(job, images, o)) return 2;
    if (!JobIdentity(job, job.identity, error)) {
        o.Error() << error << "; nothing was sent";
        return 2;
    }
    if (!args.retryFailed.empty()) {
        const RetryPlan plan = NarrowToFailed(args.retryFailed, images, job, o);
        if (plan != RetryPlan::Run) return plan == RetryPlan::Nothing ? 0 : 2;
    }
    job.station = platform::HostName();
    if (!job.backupDir.empty()) {
        // Absolute, so that the restore lines work from any folder.
        std::error_code ec;
        job.backupDir = Utf8FromPath(fs::absolute(PathFromUtf8(job.backupDir), ec).lexically_normal());
    }
    Program program(job, images, o);
    return program.Run();
}

}  // namespace cli
