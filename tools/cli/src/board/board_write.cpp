#include "board/board_write.h"

#include "file_safety.h"
#include "text_out.h"

namespace cli {
namespace {

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string DumpJson(const Json& json) { return json.dump(2, ' ', false, Json::error_handler_t::replace); }

std::string ShellQuote(const std::string& text) {
    bool plain = !text.empty();
    for (const char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        std::string("_-./:=@%+,").find(c) != std::string::npos;
        plain = plain && ok;
    }
    if (plain) return text;
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// ---------------------------------------------------------------------------
// Refusals before anything is sent
// ---------------------------------------------------------------------------

int RefuseBroadcast(const BoardTarget& t, const std::string& command, Output& o) {
    if (t.address != 255) return 0;
    o.err << "tolvane2-cli: device address 255 is the broadcast address: every board on the line carries out a "
             "broadcast frame but no board answers a broadcast frame, so "
          << command
          << " cannot get the answers it waits for (a write would stop after its first chunk and leave every board "
             "half-written). Find the boards with 'tolvane2-cli scan', then give each board's own address with "
             "--address A, one write per address; nothing was sent\n";
    return 2;
}

int RefuseBackupOverInput(const std::string& backup, const std::string& input, Output& o) {
    if (backup.empty() || !SameFile(backup, input)) return 0;
    o.err << "tolvane2-cli: the backup file " << backup << " is the file to be written (" << input
          << "): the backup would replace it with what the board holds now. Choose another backup file; nothing "
             "was sent or written\n";
    return 2;
}

bool AcceptFindings(const std::string& path, const std::vector<CheckFinding>& findings, bool force, Output& o) {
    std::size_t errors = 0;
    for (const auto& f : findings) {
        const bool error = f.severity == CheckSeverity::Error;
        errors += error;
        if (error || !o.quiet)
            o.err << "tolvane2-cli: " << path << ": " << (error ? "error: " : "warning: ") << f.field << ": "
                  << f.message << "\n";
    }
    if (errors == 0) return true;
    if (!force) {
        o.err << "tolvane2-cli: " << path << " has " << Plural(errors, "error", "errors")
              << "; nothing was sent (--force writes it anyway)\n";
        return false;
    }
    if (!o.quiet)
        o.err << "tolvane2-cli: writing " << path << " despite " << Plural(errors, "error", "errors") << " (--force)\n";
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
        o.err << "tolvane2-cli: trying the write again (try " << run.tries + 1 << " of " << tries << ")\n";
        // No pause here: after a try that got no answer, the link lets the line
        // go quiet before the next request, so a late answer to the failed try
        // cannot complete the retry's first chunk.
    }
}

int ReportBoardLeftWrong(const BoardTarget& t, const WriteOptions& w, WriteRun& run, Output& o) {
    const BoardTarget e = Effective(t);
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
    std::string cmd = "tolvane2-cli";
    if (!t.device.empty()) cmd += " --device " + ShellQuote(t.device);
    else if (e.port != 1) cmd += " --port " + std::to_string(e.port);
    if (t.address != 0) cmd += " --address " + std::to_string(t.address);
    // A relative path that begins with '-' would be read as an option.
    cmd += " " + run.command + " " + ShellQuote(!file.empty() && file[0] == '-' ? "./" + file : file);
    if (run.panel != 0) cmd += " " + std::to_string(run.panel);
    cmd += " --verify";
    if (w.noReset) cmd += " --no-reset";
    if (fromBackup ? run.backupHasErrors : run.fileHasErrors) cmd += " --force";
    run.repairCommand = cmd;
    o.err << "tolvane2-cli: " << what << "\n"
          << "tolvane2-cli: " << (fromBackup ? "to put back what it held, run: " : "to write the file again, run: ")
          << cmd << "\n";
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
    o.out << DumpJson(j) << "\n";
    return code;
}

}  // namespace cli
