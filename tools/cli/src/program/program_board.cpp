// One board of a production job: backup, write, verify and reset, 16 bytes a
// transaction so that a stop ends it between two.
#include "program/program_board.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "board/link_session.h"
#include "file_policy.h"
#include "files/record_files.h"
#include "platform/worker_processes.h"
#include "sha256.h"
#include "tolvane/file_io.h"
#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"
#include "tolvane/panel_checks.h"
#include "vantrel.h"

namespace cli {

void EmitToParent(const Json& event) { platform::WriteToParent(DumpJsonLine(event) + "\n"); }

bool StopRequested() { return platform::WorkerStopRequested(); }

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

enum class Moved { Ok, NoAnswer, EchoDiffers, Stopped };

struct Block {
    const char* name;
    uint32_t flash;
    uint8_t* data;
    uint32_t size;
};

unsigned Total(const std::vector<Block>& blocks) {
    unsigned t = 0;
    for (const Block& b : blocks) t += b.size;
    return t;
}

std::string MoveError(Moved m, bool write, uint32_t at, int address) {
    if (m == Moved::EchoDiffers)
        return "the board echoed different bytes than were written at flash " + Hex4(at) +
               "; the data on the board may be incomplete";
    return std::string("no valid answer from the board at device address ") + std::to_string(address) + " to the " +
           (write ? "write" : "read") + " at flash " + Hex4(at);
}

std::string SafeName(const std::string& device) {
    std::string s = device;
    for (const char* prefix : {"/dev/", "\\\\.\\"})
        if (s.rfind(prefix, 0) == 0) s.erase(0, std::char_traits<char>::length(prefix));
    for (char& c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
    return s.empty() ? "line" : s;
}

// A backup name that no earlier file has: device, address, time, and a count.
std::string BackupPath(const std::string& dir, const std::string& device, int address, const std::string& what,
                       const char* ext) {
    const std::time_t now = std::time(nullptr);
    char stamp[32] = "";
    if (const std::tm* tm = std::gmtime(&now))  // the worker's one thread uses it
        std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", tm);
    const std::string stem =
        Utf8FromPath(PathFromUtf8(dir) /
                     PathFromUtf8(SafeName(device) + "_addr" + std::to_string(address) + "_" + stamp + "_" + what));
    std::string path = stem + ext;
    std::error_code ec;
    for (int n = 2; fs::exists(PathFromUtf8(path), ec); ++n) path = stem + "_" + std::to_string(n) + ext;
    return path;
}

}  // namespace

// One board's run: what it has reached and what the parent is told.
struct BoardWriter::Run {
    int address = 0;
    std::string step;
    unsigned done = 0, total = 0;
    bool touched = false;  // a write transaction went out: the board may hold it

    void Progress() const {
        EmitToParent({{"ev", "step"}, {"address", address}, {"step", step}, {"done", done}, {"total", total}});
    }
    void Begin(const char* name, unsigned bytes) {
        step = name;
        done = 0;
        total = bytes;
        Progress();
    }
    // Moves blocks in chunks; before each chunk, a stop request ends it.
    // False with an error, or with none when stopped.
    bool Move(bool write, const std::vector<Block>& blocks, std::string& error) {
        for (const Block& b : blocks)
            for (uint32_t off = 0; off < b.size; off += VANTREL_FLASH_CHUNK) {
                if (StopRequested()) return false;
                const uint32_t n = std::min<uint32_t>(b.size - off, VANTREL_FLASH_CHUNK);
                touched = touched || write;
                const int rc = write ? Vantrel_WriteFlash(address, b.flash + off, n, b.data + off)
                                     : Vantrel_ReadFlash(address, b.flash + off, n, b.data + off);
                if (rc < 0) {
                    error = MoveError(rc == -2 ? Moved::EchoDiffers : Moved::NoAnswer, write, b.flash + off, address);
                    return false;
                }
                done += n;
                Progress();
            }
        return true;
    }
};

namespace {

// The blocks of a job on the board, over the given buffers.
std::vector<Block> Blocks(const ProgramImages& images, PanelImage& image, GammaTable& gamma, ModeTableImage& modes,
                          bool withGamma) {
    std::vector<Block> b;
    const uint32_t slot = images.hasPanel ? static_cast<uint32_t>(images.slot - 1) : 0;
    if (images.hasPanel)
        b.push_back({"panel image", VANTREL_PANEL_IMAGE_BASE + VANTREL_PANEL_IMAGE_SIZE * slot, image.bytes,
                     VANTREL_PANEL_IMAGE_SIZE});
    if (images.hasPanel && withGamma)
        b.push_back({"gamma table", VANTREL_GAMMA_BASE + VANTREL_GAMMA_SIZE * slot, gamma.level, VANTREL_GAMMA_SIZE});
    if (images.hasModes) b.push_back({"mode table", VANTREL_MODE_TABLE_BASE, modes.bytes, VANTREL_MODE_TABLE_SIZE});
    return b;
}

// Tells the parent of a backup as soon as it is on disk: should the worker
// die afterwards, the parent still names it in the report and restore line.
// `before` holds the SHA-256 of each block the file keeps, as read.
void Saved(int address, const char* what, const std::string& path, bool errors, const Json& before) {
    EmitToParent({{"ev", "backup"},
                  {"address", address},
                  {"what", what},
                  {"path", path},
                  {"errors", errors},
                  {"sha256", before}});
}

}  // namespace

BoardWriter::BoardWriter(const Json& spec, const ProgramImages& images) : images_(images) {
    device_ = spec["device"].get<std::string>();
    verify_ = spec.value("verify", false);
    backupDir_ = spec.value("backupDir", std::string());
}

bool BoardWriter::Program(int address) {
    Run run;
    run.address = address;
    const auto start = Clock::now();
    const auto startedAt = std::chrono::system_clock::now();
    Json r = {
        {"ev", "result"}, {"address", address}, {"version", nullptr}, {"verify", verify_ ? "not reached" : "off"}};
    std::string error;
    const bool ok = Steps(run, r, error);
    r["result"] = ok ? "ok" : (StopRequested() && error.empty() ? "interrupted" : "failed");
    r["state"] = !run.touched ? "untouched" : (run.step == "write" && !ok ? "half-written" : "written");
    r["step"] = ok ? Json(nullptr) : Json(run.step);
    r["error"] = ok ? Json(nullptr) : Json(error.empty() ? "stopped by Ctrl-C before the step ended" : error);
    r["durationMs"] = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    r["start"] = IsoUtc(startedAt);
    r["end"] = IsoUtc(std::chrono::system_clock::now());
    EmitToParent(r);
    return ok;
}

bool BoardWriter::Steps(Run& run, Json& r, std::string& error) {
    run.Begin("version", 0);
    if (StopRequested()) return false;
    uint8_t v1 = 0, v2 = 0;
    if (Vantrel_Version(run.address, &v1, &v2) < 0) {
        error = "no answer from the board at device address " + std::to_string(run.address) +
                " (check the cable, that the board is on, and the device address)";
        return false;
    }
    r["version"] = std::to_string(v1) + "." + std::to_string(v2);
    if (!backupDir_.empty() && !Backup(run, error)) return false;

    PanelImage image = images_.panel;
    GammaTable gamma = images_.gamma;
    ModeTableImage modes = images_.modes;
    const auto written = Blocks(images_, image, gamma, modes, images_.withGamma);
    run.Begin("write", Total(written));
    if (!run.Move(true, written, error)) return false;
    if (verify_ && !Verify(run, r, error)) return false;
    // The board takes the new data on a reset of its own address; a
    // broadcast would reset every board on the line.
    run.Begin("reset", 0);
    if (StopRequested()) return false;
    if (Vantrel_Reset(run.address) != 1) {
        error = "the reset could not be sent: the link is closed";
        return false;
    }
    return true;
}

bool BoardWriter::Verify(Run& run, Json& r, std::string& error) {
    PanelImage image = images_.panel, image2{};
    GammaTable gamma = images_.gamma, gamma2{};
    ModeTableImage modes = images_.modes, modes2{};
    const auto written = Blocks(images_, image, gamma, modes, images_.withGamma);
    const auto back = Blocks(images_, image2, gamma2, modes2, images_.withGamma);
    run.Begin("verify", Total(back));
    if (!run.Move(false, back, error)) {
        if (error.empty()) return false;  // stopped
        error = "could not read back: " + error;
        r["verify"] = "failed";
        return false;
    }
    std::size_t differ = 0;
    std::string first;
    for (std::size_t i = 0; i < written.size(); ++i)
        for (uint32_t k = 0; k < written[i].size; ++k)
            if (written[i].data[k] != back[i].data[k] && differ++ == 0) {
                char b[128];
                std::snprintf(b, sizeof b, "%s byte 0x%02X (flash 0x%04X): wrote 0x%02X, read back 0x%02X",
                              written[i].name, k, written[i].flash + k, written[i].data[k], back[i].data[k]);
                first = b;
            }
    r["verify"] = differ ? "failed" : "ok";
    if (differ == 0) return true;
    error =
        (differ == 1 ? std::string("1 byte differs") : std::to_string(differ) + " bytes differ") + "; first: " + first;
    return false;
}

// Saves what the write will overwrite; nothing is written when it fails.
bool BoardWriter::Backup(Run& run, std::string& error) {
    PanelImage image{};
    GammaTable gamma{};
    ModeTableImage modes{};
    const auto blocks = Blocks(images_, image, gamma, modes, false);
    run.Begin("backup", Total(blocks) + (images_.hasPanel ? VANTREL_GAMMA_SIZE : 0));
    if (!run.Move(false, blocks, error)) return false;
    if (images_.hasPanel && !BackupPanel(run, image, gamma, error)) return false;
    if (images_.hasModes) {
        RecordFile file;
        file.kind = FileKindId::Modes;
        ImageToModeTable(modes, file.modes);
        const std::string path = BackupPath(backupDir_, device_, run.address, "modes", ".MOD");
        if (!SaveRecordFile(path, file, error)) return false;
        Saved(run.address, "modes", path, HasCheckError(CheckModeTable(file.modes)),
              {{"modes", Sha256Hex(modes.bytes, sizeof modes.bytes)}});
    }
    return true;
}

// The slot's image, and its gamma table whenever the job writes one or the
// old image uses it: the backup file holds everything the write changes.
bool BoardWriter::BackupPanel(Run& run, const PanelImage& image, GammaTable& gamma, std::string& error) {
    const bool oldUsesGamma = ImageUsesGamma(image);
    const bool gotGamma = images_.withGamma || oldUsesGamma;
    const uint32_t slot = static_cast<uint32_t>(images_.slot - 1);
    if (gotGamma &&
        !run.Move(false,
                  {{"gamma table", VANTREL_GAMMA_BASE + VANTREL_GAMMA_SIZE * slot, gamma.level, VANTREL_GAMMA_SIZE}},
                  error))
        return false;
    RecordFile file;
    file.kind = FileKindId::Panel;
    file.panel = RecordFromBoard(image, gamma, gotGamma);
    const std::string number = std::to_string(images_.slot);
    const std::string path = BackupPath(backupDir_, device_, run.address, "panel" + number, ".PNL");
    if (!SaveRecordFile(path, file, error)) return false;
    Json before = {{"panel", Sha256Hex(image.bytes, sizeof image.bytes)}};
    if (gotGamma) before["gamma"] = Sha256Hex(gamma.level, sizeof gamma.level);
    Saved(run.address, "panel", path, HasCheckError(CheckPanelRecord(file.panel)), before);
    if (!gotGamma || oldUsesGamma) return true;
    // A panel write of that file writes no gamma table (its image uses none):
    // the table the job overwrites is kept as its bytes too.
    const std::string raw = BackupPath(backupDir_, device_, run.address, "gamma" + number, ".bin");
    if (!WriteFileAtomically(PathFromUtf8(raw), gamma.level, VANTREL_GAMMA_SIZE)) {
        error = WriteFailure(PathFromUtf8(raw), "cannot write the backup", errno);
        return false;
    }
    Saved(run.address, "gamma", raw, false, {{"gamma", before["gamma"]}});
    return true;
}

}  // namespace cli
