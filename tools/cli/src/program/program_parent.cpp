// The parent of a production job: it starts one worker per line, follows their
// JSON lines, draws the live view, and at the end writes the report, the
// summary table and a restore line for every board that failed. The worker
// processes themselves are the platform layer's.
#include "program/program_parent.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "file_policy.h"
#include "platform/terminal.h"
#include "platform/worker_processes.h"
#include "program/program_worker.h"
#include "tolvane/file_io.h"
#include "tolvane/files.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// One board (or, before its scan ends, a scanned line) as the parent knows it.
struct Row {
    std::size_t line = 0;
    Json address;  // null: the line's scan
    std::string step = "waiting";
    unsigned done = 0, total = 0;
    Json result;  // the worker's result event, null until it came
    Row(std::size_t l, Json a) : line(l), address(std::move(a)) {}
};

struct Line {
    ProgramLine spec;
    std::size_t worker = 0;
    bool running = false;  // started, and its end not yet seen
    bool ended = false;    // the worker's "end" came
    std::string fatal;
    int exitCode = 0;
    std::string why;  // how the worker ended, when it did not exit by itself
    explicit Line(ProgramLine s) : spec(std::move(s)) {}
};

class Program {
public:
    Program(const ProgramJob& job, const ProgramImages& images, Output& o) : job_(job), images_(images), o_(o) {
        for (std::size_t i = 0; i < job.lines.size(); ++i) {
            lines_.emplace_back(job.lines[i]);
            if (job.lines[i].scan) rows_.emplace_back(i, Json(nullptr));
            for (int a : job.lines[i].addresses) rows_.emplace_back(i, Json(a));
        }
    }

    int Run() {
        {
            platform::InterruptWatch watch;
            for (Line& l : lines_) Spawn(l);
            Follow(watch);
            interrupted_ = watch.Interrupted();
        }
        for (std::size_t i = 0; i < lines_.size(); ++i) CloseRows(i);
        if (progress_) Draw();
        return Finish();
    }

private:
    void Spawn(Line& l) {
        const std::string spec = WorkerSpec(job_, l.spec, images_).dump();
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

    void Handle(std::size_t i, const Json& ev) {
        const std::string kind = ev.value("ev", std::string());
        if (kind == "end") {
            lines_[i].ended = true;
        } else if (kind == "fatal") {
            lines_[i].fatal = ev.value("error", std::string("the worker stopped"));
        } else if (kind == "scan") {
            for (const Json& a : ev["found"])
                if (!Find(i, a)) rows_.emplace_back(i, a);
            if (!ev["found"].empty())  // the scan row stays only when nothing answered
                for (auto it = rows_.begin(); it != rows_.end(); ++it)
                    if (it->line == i && it->address.is_null()) {
                        rows_.erase(it);
                        break;
                    }
            if (!progress_)
                Message(lines_[i].spec.device + ": " + std::to_string(ev["found"].size()) + " boards answered");
        } else if (kind == "step" || kind == "result") {
            Row* r = Find(i, ev["address"]);
            if (r == nullptr) return;
            if (kind == "result") {
                r->result = ev;
                if (!progress_) Message(Describe(*r));
                return;
            }
            const std::string step = ev.value("step", std::string());
            if (step != r->step && !progress_) Message(Name(*r) + ": " + step);
            r->step = step;
            r->done = ev.value("done", 0u);
            r->total = ev.value("total", 0u);
        }
    }

    // Boards a worker left without a result: it died, or never started.
    void CloseRows(std::size_t i) {
        const Line& l = lines_[i];
        std::string why = l.fatal.empty() ? l.why : l.fatal;
        if (why.empty()) why = "the worker ended (status " + std::to_string(l.exitCode) + ") without a result";
        for (Row& r : rows_) {
            if (r.line != i || !r.result.is_null()) continue;
            const bool wrote = r.step == "write" && r.done > 0;
            const bool past = r.step == "verify" || r.step == "reset";
            r.result = {{"address", r.address},    {"version", nullptr},
                        {"result", "failed"},      {"state", wrote ? "half-written" : past ? "written" : "untouched"},
                        {"step", r.step},          {"error", why},
                        {"verify", "not reached"}, {"backups", Json::object()},
                        {"durationMs", 0}};
        }
    }

    std::string Name(const Row& r) const {
        return lines_[r.line].spec.device +
               (r.address.is_null() ? std::string(" (scan)") : " address " + r.address.dump());
    }

    std::string Describe(const Row& r) const {
        const Json& x = r.result;
        const std::string result = x.value("result", std::string());
        char secs[32];
        std::snprintf(secs, sizeof secs, "%.2f s", x.value("durationMs", 0) / 1000.0);
        if (result == "ok") return Name(r) + ": ok (" + secs + ")";
        return Name(r) + ": " + (result == "interrupted" ? "stopped" : "FAILED") + " at " +
               x.value("step", std::string("?")) + " (" + x.value("state", std::string()) +
               "): " + x.value("error", std::string());
    }

    void Message(const std::string& text) {
        if (o_.quiet) return;
        if (progress_) Draw(text);
        else o_.err << text << "\n" << std::flush;
    }

    // One line per port: its current board, step and progress.
    void Draw(const std::string& message = std::string()) {
        std::string s;
        if (drawn_ > 0) s += "\x1b[" + std::to_string(drawn_) + "F";
        if (!message.empty()) {
            s += "\x1b[2K";
            s += message;
            s += '\n';
        }
        for (std::size_t i = 0; i < lines_.size(); ++i) {
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
            std::string text = lines_[i].spec.device + "  ";
            if (current != nullptr) {
                const unsigned pct = current->total ? std::min(100u, current->done * 100 / current->total) : 0;
                std::string bar(pct / 5, '#');
                bar.append(20 - pct / 5, '.');
                text += current->address.is_null() ? std::string("scan") : "address " + current->address.dump();
                text.append("  ").append(current->step).append(" [").append(bar).append("] ");
                text.append(std::to_string(pct)).append("%  ");
            }
            text.append("(").append(std::to_string(finished)).append("/").append(std::to_string(count));
            text.append(" done, ").append(std::to_string(ok)).append(" ok)");
            s.append("\x1b[2K").append(text).append("\n");
        }
        drawn_ = static_cast<int>(lines_.size());
        o_.err << s << std::flush;
    }

    std::string Restore(const Row& r) const {
        const Json& b = r.result["backups"];
        const std::string base = "tolvane2-cli --device " + platform::ShellQuote(lines_[r.line].spec.device) +
                                 " --address " + r.address.dump();
        std::string cmd;
        if (b.contains("panel"))
            cmd = base + " panel write " + platform::ShellQuote(b["panel"].get<std::string>()) + " " +
                  std::to_string(job_.slot);
        if (b.contains("modes"))
            cmd += (cmd.empty() ? "" : " && ") + base + " modes write " +
                   platform::ShellQuote(b["modes"].get<std::string>());
        return cmd;
    }

    Json ReportLine(const Row& r) const {
        const Json& x = r.result;
        Json j;
        j["port"] = lines_[r.line].spec.device;
        j["address"] = r.address;
        j["version"] = x.value("version", Json(nullptr));
        j["slot"] = images_.hasPanel ? Json(images_.slot) : Json(nullptr);
        j["result"] = x["result"];
        j["state"] = x["state"];
        j["step"] = x["step"];
        j["error"] = x["error"];
        j["verify"] = x["verify"];
        j["sha256"] = x["state"] == "untouched" ? Json(nullptr) : ImageHashes(images_);
        j["durationMs"] = x["durationMs"];
        j["backups"] = x["backups"];
        const std::string restore = r.address.is_null() ? std::string() : Restore(r);
        j["restore"] = restore.empty() ? Json(nullptr) : Json(restore);
        return j;
    }

    bool WriteReport(std::string& error) const {
        std::string text;
        for (const Row& r : rows_) text += ReportLine(r).dump() + "\n";
        const fs::path path = PathFromUtf8(job_.report);
        if (WriteFileAtomically(path, text.data(), text.size())) return true;
        error = WriteFailure(path, "cannot write the report", errno);
        return false;
    }

    int Finish() {
        bool allOk = !rows_.empty();
        for (const Row& r : rows_) allOk = allOk && r.result.value("result", std::string()) == "ok";
        // The table: one row a board.
        char head[160];
        std::snprintf(head, sizeof head, "%-28s %5s %7s %-11s %-8s %-12s %-11s %8s\n", "PORT", "ADDR", "VERSION",
                      "RESULT", "STEP", "STATE", "VERIFY", "TIME");
        o_.out << head;
        int ok = 0;
        for (const Row& r : rows_) {
            const Json& x = r.result;
            ok += x.value("result", std::string()) == "ok";
            char row[512];
            std::snprintf(row, sizeof row, "%-28s %5s %7s %-11s %-8s %-12s %-11s %6.2f s\n",
                          lines_[r.line].spec.device.c_str(), r.address.is_null() ? "-" : r.address.dump().c_str(),
                          x["version"].is_string() ? x["version"].get<std::string>().c_str() : "-",
                          x.value("result", std::string()).c_str(),
                          x["step"].is_string() ? x["step"].get<std::string>().c_str() : "-",
                          x.value("state", std::string()).c_str(), x.value("verify", std::string()).c_str(),
                          x.value("durationMs", 0) / 1000.0);
            o_.out << row;
        }
        o_.out << ok << " of " << rows_.size() << (rows_.size() == 1 ? " board" : " boards") << " ok\n" << std::flush;
        for (const Row& r : rows_) {
            if (r.result.value("result", std::string()) == "ok") continue;
            std::string line = "tolvane2-cli: " + Describe(r);
            const std::string state = r.result.value("state", std::string());
            const std::string restore = r.address.is_null() ? std::string() : Restore(r);
            if (state == "untouched") line += "; the board was not changed";
            else if (!restore.empty()) line += "; restore it with: " + restore;
            else line += "; no backup was taken (--backup-dir DIR saves one)";
            o_.err << line << "\n";
        }
        if (!job_.report.empty()) {
            std::string error;
            if (!WriteReport(error)) {
                o_.err << "tolvane2-cli: " << error << "\n";
                return 1;
            }
            if (!o_.quiet) o_.err << "Report written to " << job_.report << "\n";
        }
        return allOk && !interrupted_ ? 0 : 1;
    }

    const ProgramJob& job_;
    const ProgramImages& images_;
    Output& o_;
    std::vector<Line> lines_;
    std::vector<Row> rows_;
    int drawn_ = 0;
    bool interrupted_ = false;
    platform::CursorControl cursor_;
    bool progress_ = o_.progress && cursor_.Available();
    platform::WorkerProcesses workers_;
};

}  // namespace

int RunProgram(const ProgramArgs& args, Output& o) {
    ProgramJob job;
    ProgramImages images;
    std::string error;
    if (!BuildJob(args, job, error) || !LoadImages(job, images, error)) {
        o.err << "tolvane2-cli: " << error << "\n";
        return 2;
    }
    std::error_code ec;
    if (!job.backupDir.empty()) {
        // Absolute, so that the restore lines work from any folder.
        const fs::path dir = fs::absolute(PathFromUtf8(job.backupDir), ec).lexically_normal();
        job.backupDir = Utf8FromPath(dir);
        fs::create_directories(dir, ec);
        if (!fs::is_directory(dir, ec)) {
            o.err << "tolvane2-cli: cannot make the backup folder " << job.backupDir << "; nothing was written\n";
            return 2;
        }
    }
    if (!job.report.empty()) {
        // The report's folder must be there before any board is touched.
        const fs::path dir = PathFromUtf8(job.report).parent_path();
        if (!dir.empty() && !fs::is_directory(dir, ec)) {
            o.err << "tolvane2-cli: the folder of the report " << job.report
                  << " does not exist; nothing was written\n";
            return 2;
        }
    }
    Program program(job, images, o);
    return program.Run();
}

}  // namespace cli
