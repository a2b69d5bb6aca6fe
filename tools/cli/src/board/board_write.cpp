#include "board/board_write.h"

#include <filesystem>

#include "file_policy.h"
#include "platform/terminal.h"
#include "platform/worker_processes.h"
#include "tolvane/file_io.h"
#include "text_out.h"
#include "vantrel.h"

namespace cli {
// ---------------------------------------------------------------------------
// Refusals before anything is sent
// ---------------------------------------------------------------------------

bool AcceptFindings(const std::string& path, const std::vector<CheckFinding>& findings, bool force, Output& o) {
    std::size_t errors = 0;
    for (const auto& f : findings) {
        const bool error = f.severity == CheckSeverity::Error;
        errors += error;
        if (error) o.Error() << path << ": error: " << f.field << ": " << f.message;
        else o.Note() << path << ": warning: " << f.field << ": " << f.message;
    }
    if (errors == 0) return true;
    if (!force) {
        o.Error() << path << " has " << Plural(errors, "error", "errors")
                  << "; nothing was sent (--force writes it anyway)";
        return false;
    }
    o.Note() << "writing " << path << " despite " << Plural(errors, "error", "errors") << " (--force)";
    return true;
}

// ---------------------------------------------------------------------------
// Tries, and a board left incomplete
// ---------------------------------------------------------------------------

int SendWithRetries(const BoardTarget& t, const WriteOptions& w, WriteRun& run, Output& o) {
    const int tries = 1 + (w.retries > 0 ? w.retries : 0);
    for (run.tries = 1;; ++run.tries) {
        for (auto& b : run.blocks) b.written = 0;
        run.result = 0;
        const WriteBlock* failed = nullptr;
        for (auto& b : run.blocks) {
            Bar bar(o, "write " + run.subject + " " + b.name, b.size);
            run.result = bar.Done(b.send());
            b.written = bar.Confirmed();
            if (run.result < 0) {
                failed = &b;
                break;
            }
        }
        if (failed == nullptr) return 0;
        TransferFailed(
            t, o,
            run.blocks.size() == 1 ? "writing " + run.subject : "writing the " + failed->name + " of " + run.subject,
            run.result);
        // A differing echo is an answer: the board took other bytes, and a
        // second try would not change that.
        if (run.result != -1 || run.tries >= tries) return run.result;
        o.Note() << "trying the write again (try " << run.tries + 1 << " of " << tries << ")";
        // No pause here: after a try that got no answer, the link lets the line
        // go quiet before the next request, so a late answer to the failed try
        // cannot complete the retry's first chunk.
    }
}

std::string RepairCommand(const BoardTarget& t, const std::vector<std::string>& words) {
    const BoardTarget e = Effective(t);
    std::string cmd = "tolvane2-cli";
    if (!t.device.empty()) {
        // A relative path that names a file here is made absolute, so that
        // the line works from any folder; a name like COM3 stays as it is.
        const std::filesystem::path device = PathFromUtf8(t.device);
        std::error_code ec;
        std::string shown = t.device;
        if (device.is_relative() && std::filesystem::exists(device, ec)) {
            const auto absolute = std::filesystem::absolute(device, ec);
            if (!ec) shown = Utf8FromPath(absolute.lexically_normal());
        }
        cmd += " --device " + platform::ShellQuote(shown);
    } else if (e.port != 1) {
        cmd += " --port " + std::to_string(e.port);
    }
    if (t.address != 0) cmd += " --address " + std::to_string(t.address);
    for (const std::string& w : words) cmd += " " + platform::ShellQuote(w);
    return cmd;
}

int ReportBoardLeftWrong(const BoardTarget& t, const WriteOptions& w, WriteRun& run, Output& o) {
    std::string what = run.subject + " on the board ";
    if (run.verify && !run.verify->empty()) {
        what += "does not hold what was written";
    } else {
        what += "is now incomplete: ";
        std::string done;
        for (const auto& b : run.blocks) {
            if (b.written == b.size) {
                done += "its " + b.name + " was written, ";
                continue;
            }
            what += done + "the write stopped after " + std::to_string(b.written) +
                    (run.blocks.size() == 1 ? " of its " + std::to_string(b.size) + " bytes"
                                            : " of the " + std::to_string(b.size) + " bytes of its " + b.name);
            break;
        }
    }
    const bool fromBackup = !run.backupFile.empty();
    const std::string& file = fromBackup ? run.backupFile : run.file;
    // A relative path that begins with '-' would be read as an option.
    std::vector<std::string> words = {run.command.substr(0, run.command.find(' ')),
                                      run.command.substr(run.command.find(' ') + 1),
                                      !file.empty() && file[0] == '-' ? "./" + file : file};
    if (run.panel != 0) words.push_back(std::to_string(run.panel));
    words.push_back("--verify");
    if (w.noReset) words.push_back("--no-reset");
    if (fromBackup ? run.backupHasErrors : run.fileHasErrors) words.push_back("--force");
    const std::string cmd = RepairCommand(t, words);
    run.repairCommand = cmd;
    o.Error() << what;
    o.Error() << (fromBackup ? "to put back what it held, run: " : "to write the file again, run: ") << cmd;
    return 1;
}

int FinishWrite(const BoardTarget& t, const WriteOptions& w, const WriteRun& run, int code, Output& o) {
    if (!o.json) return code;
    const BoardTarget e = Effective(t);
    Json j;
    j["command"] = run.command;
    j["file"] = ShownPath(run.file);
    j["port"] = e.port;
    j["device"] = ShownPath(t.device.empty() ? DevicePathOfPort(e.port) : t.device);
    j["address"] = t.address;
    if (run.panel != 0) j["panel"] = run.panel;
    Json blocks = Json::array();
    for (const auto& b : run.blocks)
        blocks.push_back(Json{{"block", b.name},
                              {"flashAddress", b.flashAddress},
                              {"flashAddressText", Hex4(b.flashAddress)},
                              {"bytes", b.size},
                              {"written", b.written}});
    j["blocks"] = blocks;
    j["tries"] = run.tries;
    if (run.verify) {
        Json diffs = Json::array();
        for (const auto& d : *run.verify)
            diffs.push_back(Json{{"block", d.block},
                                 {"offset", d.offset},
                                 {"flashAddress", d.flashAddress},
                                 {"flashAddressText", Hex4(d.flashAddress)},
                                 {"wrote", d.wrote},
                                 {"readBack", d.readBack}});
        j["verify"] = Json{{"ok", run.verify->empty()}, {"differences", diffs}};
    } else {
        j["verify"] = nullptr;
    }
    j["backup"] = w.backup.empty() ? Json(nullptr) : Json(ShownPath(w.backup));
    j["reset"] = run.reset;
    j["ok"] = code == 0;
    j["incomplete"] = run.result < 0;
    j["repairCommand"] = run.repairCommand.empty() ? Json(nullptr) : Json(ShownPath(run.repairCommand));
    o.WriteJson(j);
    return code;
}

int RunBoardWrite(const BoardTarget& t, const WriteOptions& w, WriteRun& run, const WriteSteps& steps, Output& o) {
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    // Ctrl-C is noted, not obeyed at once: a block transfer ends on the wire,
    // and the outcome then says what the board holds.
    platform::InterruptWatch watch;
    auto stopped = [&](const char* state) {
        if (!watch.Interrupted()) return false;
        o.Error() << "stopped by Ctrl-C " << state;
        return true;
    };
    // "the mode table" saved to, "Panel 2" saved to.
    const std::string saved = run.subject.rfind("the ", 0) == 0 ? run.subject.substr(4) : run.subject;
    if (!w.backup.empty()) {
        std::string error;
        if (!steps.backup(error, run.backupHasErrors)) {
            if (error.empty()) o.Error() << "backup of " << run.subject << " failed; nothing was written";
            else o.Error() << error << "; backup failed, nothing was written";
            return FinishWrite(t, w, run, 1, o);
        }
        run.backupFile = w.backup;
        o.Note() << saved << " saved to " << w.backup;
    }
    if (stopped("before anything was written; the board was not changed")) return FinishWrite(t, w, run, 1, o);
    if (SendWithRetries(t, w, run, o) < 0) {
        ReportBoardLeftWrong(t, w, run, o);
        return FinishWrite(t, w, run, 1, o);
    }
    if (stopped(("after the write: " + run.subject + " on the board is complete but was not " +
                 (w.verify ? "verified or " : "") + "reset")
                    .c_str()))
        return FinishWrite(t, w, run, 1, o);
    if (w.verify) {
        run.verify = steps.readBack();
        if (!run.verify) {
            o.Error() << "verify of " << run.subject << " failed: " << steps.unreadable;
            return FinishWrite(t, w, run, 1, o);
        }
        if (!run.verify->empty()) {
            VerifyFailed(o, *run.verify);
            ReportBoardLeftWrong(t, w, run, o);
            return FinishWrite(t, w, run, 1, o);
        }
    }
    if (!w.noReset) Vantrel_Reset(t.address);
    run.reset = !w.noReset;
    o.Note() << steps.done << (run.tries > 1 ? ", try " + std::to_string(run.tries) : std::string()) << ")"
             << (w.verify ? ", verified" : "") << (w.noReset ? "" : ", board reset");
    return FinishWrite(t, w, run, 0, o);
}

}  // namespace cli
