// One serial line of a production job: backup, write, verify and reset of each
// board in turn, 16 bytes a transaction so that Ctrl-C stops between two.
#include "program/program_worker.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "board/link_session.h"
#include "board/board_commands.h"
#include "platform/terminal.h"
#include "platform/worker_processes.h"
#include "program/program_job.h"
#include "files/record_files.h"
#include "tolvane/file_io.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"
#include "tolvane/timing.h"
#include "vantrel.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kChunk = VANTREL_FLASH_CHUNK;
constexpr uint8_t kUseGammaBit = 0x10;

bool Stopped() { return platform::WorkerStopRequested(); }

// When the parent is gone the line goes nowhere: the boards are still finished.
// Text that is no UTF-8 (a system message in another code page) is replaced,
// not thrown: the line must reach the parent.
void Emit(const Json& event) {
    platform::WriteToParent(event.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n");
}

enum class Moved { Ok, NoAnswer, EchoDiffers, Stopped };

// One board's run: what it has reached and what the parent is told.
struct BoardRun {
    int address = 0;
    std::string step;
    unsigned done = 0, total = 0;
    bool touched = false;  // a write transaction went out

    void Progress() const {
        Emit({{"ev", "step"}, {"address", address}, {"step", step}, {"done", done}, {"total", total}});
    }
    void Begin(const char* name, unsigned bytes) {
        step = name;
        done = 0;
        total = bytes;
        Progress();
    }
    // Moves a block in chunks; before each chunk, a stop request ends it.
    Moved Move(bool write, uint32_t flash, uint8_t* data, uint32_t size, uint32_t& failedAt) {
        for (uint32_t off = 0; off < size; off += kChunk) {
            if (Stopped()) return Moved::Stopped;
            const uint32_t n = size - off < kChunk ? size - off : kChunk;
            int rc;
            if (write) {
                touched = true;
                rc = Vantrel_WriteFlash(address, flash + off, n, data + off);
            } else {
                rc = Vantrel_ReadFlash(address, flash + off, n, data + off);
            }
            if (rc < 0) {
                failedAt = flash + off;
                return rc == -2 ? Moved::EchoDiffers : Moved::NoAnswer;
            }
            done += n;
            Progress();
        }
        return Moved::Ok;
    }
};

struct Block {
    const char* name;
    uint32_t flash;
    uint8_t* data;
    uint32_t size;
};

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
std::string BackupPath(const std::string& dir, const std::string& device, int address, const std::string& what) {
    const std::time_t now = std::time(nullptr);
    char stamp[32] = "";
    if (const std::tm* tm = std::gmtime(&now))  // the worker's one thread uses it
        std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", tm);
    const std::string stem =
        Utf8FromPath(PathFromUtf8(dir) /
                     PathFromUtf8(SafeName(device) + "_addr" + std::to_string(address) + "_" + stamp + "_" + what));
    const std::string ext = what == "modes" ? ".MOD" : ".PNL";
    std::string path = stem + ext;
    std::error_code ec;
    for (int n = 2; fs::exists(PathFromUtf8(path), ec); ++n) path = stem + "_" + std::to_string(n) + ext;
    return path;
}

class Worker {
public:
    Worker(const Json& spec, const ProgramImages& images) : spec_(spec), images_(images) {
        device_ = spec["device"].get<std::string>();
        verify_ = spec.value("verify", false);
        backupDir_ = spec.value("backupDir", std::string());
    }

    // Writes one board; the result event says how far it got.
    bool Program(int address) {
        BoardRun run;
        run.address = address;
        const auto start = Clock::now();
        Json r = {
            {"ev", "result"}, {"address", address}, {"version", nullptr}, {"verify", verify_ ? "not reached" : "off"}};
        Json backups = Json::object();
        std::string error;
        const bool ok = Steps(run, r, backups, error);
        r["result"] = ok ? "ok" : (Stopped() && error.empty() ? "interrupted" : "failed");
        r["state"] = !run.touched ? "untouched" : (run.step == "write" && !ok ? "half-written" : "written");
        r["step"] = ok ? Json(nullptr) : Json(run.step);
        r["error"] = ok ? Json(nullptr) : Json(error.empty() ? "stopped by Ctrl-C before the step ended" : error);
        r["backups"] = backups;
        r["durationMs"] = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        Emit(r);
        return ok;
    }

private:
    std::vector<Block> Blocks(PanelImage& image, GammaTable& gamma, ModeTableImage& modes, bool gamma2) const {
        std::vector<Block> b;
        const uint32_t slot = images_.hasPanel ? static_cast<uint32_t>(images_.slot - 1) : 0;
        if (images_.hasPanel) b.push_back({"panel image", kPanelImageBase + 64 * slot, image.bytes, 64});
        if (images_.hasPanel && gamma2) b.push_back({"gamma table", kGammaBase + 256 * slot, gamma.level, 256});
        if (images_.hasModes) b.push_back({"mode table", kModeTableBase, modes.bytes, 768});
        return b;
    }
    static unsigned Total(const std::vector<Block>& blocks) {
        unsigned t = 0;
        for (const Block& b : blocks) t += b.size;
        return t;
    }
    bool MoveAll(BoardRun& run, bool write, const std::vector<Block>& blocks, std::string& error) {
        for (const Block& b : blocks) {
            uint32_t at = 0;
            const Moved m = run.Move(write, b.flash, b.data, b.size, at);
            if (m == Moved::Stopped) return false;
            if (m != Moved::Ok) {
                error = MoveError(m, write, at, run.address);
                return false;
            }
        }
        return true;
    }

    bool Steps(BoardRun& run, Json& r, Json& backups, std::string& error) {
        run.Begin("version", 0);
        if (Stopped()) return false;
        uint8_t v1 = 0, v2 = 0;
        if (Vantrel_Version(run.address, &v1, &v2) < 0) {
            error = "no answer from the board at device address " + std::to_string(run.address) +
                    " (check the cable, that the board is on, and the device address)";
            return false;
        }
        r["version"] = std::to_string(v1) + "." + std::to_string(v2);
        if (images_.hasPanel) r["slot"] = images_.slot;
        if (!backupDir_.empty() && !Backup(run, backups, error)) return false;

        PanelImage image = images_.panel;
        GammaTable gamma = images_.gamma;
        ModeTableImage modes = images_.modes;
        const auto written = Blocks(image, gamma, modes, images_.withGamma);
        run.Begin("write", Total(written));
        if (!MoveAll(run, true, written, error)) return false;

        if (verify_) {
            PanelImage image2{};
            GammaTable gamma2{};
            ModeTableImage modes2{};
            const auto back = Blocks(image2, gamma2, modes2, images_.withGamma);
            run.Begin("verify", Total(back));
            if (!MoveAll(run, false, back, error)) {
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
            if (differ) {
                error =
                    std::to_string(differ) + (differ == 1 ? " byte differs" : " bytes differ") + "; first: " + first;
                return false;
            }
        }
        // The board takes the new data on a reset of its own address; a
        // broadcast would reset every board on the line.
        run.Begin("reset", 0);
        if (Stopped()) return false;
        if (Vantrel_Reset(run.address) != 1) {
            error = "the reset could not be sent: the link is closed";
            return false;
        }
        return true;
    }

    // Saves what the write will overwrite; nothing is written when it fails.
    bool Backup(BoardRun& run, Json& backups, std::string& error) {
        PanelImage image{};
        GammaTable gamma{};
        ModeTableImage modes{};
        auto blocks = Blocks(image, gamma, modes, false);
        // The gamma table is saved with the image whenever the job writes it
        // or the old image uses it: a restore writes it back.
        unsigned total = Total(blocks) + (images_.hasPanel ? 256 : 0);
        run.Begin("backup", total);
        if (!MoveAll(run, false, blocks, error)) return false;
        if (images_.hasPanel) {
            const bool gotGamma = images_.withGamma || (image.bytes[panel_image::kPanelFlagsHigh] & kUseGammaBit);
            if (gotGamma) {
                const uint32_t slot = static_cast<uint32_t>(images_.slot - 1);
                if (!MoveAll(run, false, {{"gamma table", kGammaBase + 256 * slot, gamma.level, 256}}, error))
                    return false;
            }
            RecordFile file;
            file.kind = FileKindId::Panel;
            file.panel = RecordFromBoard(image, gamma, gotGamma);
            const std::string path =
                BackupPath(backupDir_, device_, run.address, "panel" + std::to_string(images_.slot));
            if (!SaveRecordFile(path, file, error)) return false;
            backups["panel"] = path;
        }
        if (images_.hasModes) {
            RecordFile file;
            file.kind = FileKindId::Modes;
            ImageToModeTable(modes, file.modes);
            const std::string path = BackupPath(backupDir_, device_, run.address, "modes");
            if (!SaveRecordFile(path, file, error)) return false;
            backups["modes"] = path;
        }
        return true;
    }

    Json spec_;
    ProgramImages images_;
    std::string device_;
    bool verify_ = false;
    std::string backupDir_;
};

// Addresses 0..254 that answer, each waited for 40 ms.
std::vector<int> Scan() {
    std::vector<int> found;
    for (int a = 0; a <= 254 && !Stopped(); ++a) {
        if (a % 16 == 0) Emit({{"ev", "step"}, {"address", nullptr}, {"step", "scan"}, {"done", a}, {"total", 255}});
        if (Vantrel_ProbeDevice(a, 40, nullptr, nullptr) == 0) found.push_back(a);
    }
    return found;
}

Json LineFailure(const Json& address, const std::string& step, const std::string& error) {
    return {{"ev", "result"},
            {"address", address},
            {"version", nullptr},
            {"result", Stopped() ? "interrupted" : "failed"},
            {"state", "untouched"},
            {"step", step},
            {"error", error},
            {"verify", "not reached"},
            {"backups", Json::object()},
            {"durationMs", 0}};
}

}  // namespace

int RunProgramWorker(const std::string& specJson) {
    platform::WatchForWorkerStop();
    const Json spec = Json::parse(specJson, nullptr, false);
    ProgramImages images;
    std::string error;
    if (spec.is_discarded() || !spec.is_object() || !spec.contains("device") || !spec["device"].is_string() ||
        !SpecToImages(spec, images, error)) {
        Emit({{"ev", "fatal"}, {"error", error.empty() ? "bad worker instructions" : error}});
        return 2;
    }
    const std::string device = spec["device"].get<std::string>();
    std::vector<int> addresses = spec.value("addresses", std::vector<int>{});
    const bool scan = spec.value("scan", false);

    platform::SetEnvironment("VANTREL_COM1", device);
    const bool open = OpenSerialCommunication(1, 57600) != 0;
    if (!open) {
        // The library's port 1 stands for the device here: name the device only.
        std::string why = DescribePortFailure(BoardTarget{1, device, 0});
        const std::string com = "COM1 (" + device + ")";
        if (why.rfind("cannot open " + com, 0) == 0) why.replace(12, com.size(), device);
        if (scan) Emit(LineFailure(nullptr, "open", why));
        for (int a : addresses) Emit(LineFailure(a, "open", why));
        Emit({{"ev", "end"}});
        return 1;
    }
    if (scan) {
        addresses = Scan();
        Emit({{"ev", "scan"}, {"found", addresses}});
        if (addresses.empty()) Emit(LineFailure(nullptr, "scan", "no board answered at device addresses 0..254"));
    }
    Worker worker(spec, images);
    bool allOk = !addresses.empty();
    for (int a : addresses) allOk = worker.Program(a) && allOk;
    CloseSerialCommunication();
    Emit({{"ev", "end"}});
    return allOk ? 0 : 1;
}

}  // namespace cli
