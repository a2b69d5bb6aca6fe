#include "board_commands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "json_form.h"
#include "platform/terminal.h"
#include "record_files.h"
#include "show.h"
#include "tolvane/data_lists.h"
#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"
#include "tolvane/panel_checks.h"
#include "tolvane/timing.h"
#include "tolvane/typed_numbers.h"
#include "vantrel.h"

namespace cli {
namespace {

constexpr uint32_t kBaud = 57600;
constexpr uint32_t kPanelImageBase = 0xFB00;
constexpr uint32_t kGammaBase = 0xF700;
constexpr uint32_t kModeTableBase = 0xF400;
constexpr uint8_t kImageUseGamma = 0x10;  // bit 4 of image byte 0x3A

// ---------------------------------------------------------------------------
// Progress bar on the caller's thread, inside the library's block calls
// ---------------------------------------------------------------------------

struct ProgressState {
    std::ostream* err = nullptr;
    std::string label;
};
ProgressState g_progress;

void DrawBar(unsigned total, unsigned done) {
    if (g_progress.err == nullptr || total == 0) return;
    const unsigned width = 30;
    const unsigned filled = done >= total ? width : done * width / total;
    std::string bar(filled, '#');
    bar.append(width - filled, '.');
    char tail[32];
    std::snprintf(tail, sizeof tail, "] %3u%%", done >= total ? 100u : done * 100 / total);
    *g_progress.err << "\r" << g_progress.label << " [" << bar << tail << std::flush;
}

void VANTREL_CALL OnProgress(uint16_t total, uint16_t done) { DrawBar(total, done); }

// One block transfer under the bar (when there is one).
class Bar {
public:
    Bar(Output& o, std::string label, unsigned total) : total_(total) {
        if (!o.progress) return;
        g_progress.err = &o.err;
        g_progress.label = std::move(label);
        Vantrel_SetProgressCallback(&OnProgress);
        DrawBar(total_, 0);
    }
    ~Bar() {
        if (g_progress.err == nullptr) return;
        if (ok_) DrawBar(total_, total_);
        *g_progress.err << "\n" << std::flush;
        Vantrel_SetProgressCallback(nullptr);
        g_progress = {};
    }
    int Done(int result) {
        ok_ = result >= 0;
        return result;
    }

private:
    unsigned total_;
    bool ok_ = false;
};

// The link for one command: opened at the start, closed on every way out.
class Link {
public:
    explicit Link(const BoardTarget& t) {
        if (!t.device.empty()) platform::SetEnvironment("VANTREL_COM1", t.device);
        open_ = OpenSerialCommunication(static_cast<uint16_t>(t.port), kBaud) != 0;
    }
    ~Link() {
        if (open_) CloseSerialCommunication();
    }
    bool IsOpen() const { return open_; }

private:
    bool open_ = false;
};

BoardTarget Effective(const BoardTarget& t) {
    BoardTarget e = t;
    if (!t.device.empty()) e.port = 1;
    return e;
}

int PortFailed(const BoardTarget& t, Output& o) {
    o.err << "tolvane2-cli: " << DescribePortFailure(Effective(t)) << "\n";
    return 1;
}

std::string Hex2(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v & 0xFF);
    return b;
}
std::string Hex4(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%04X", v & 0xFFFF);
    return b;
}

int TransferFailed(const BoardTarget& t, Output& o, const std::string& what, int result) {
    if (result == -2)
        o.err << "tolvane2-cli: " << what << ": the board echoed different bytes than were written (address "
              << t.address << "); the data on the board may be incomplete\n";
    else
        o.err << "tolvane2-cli: " << what << ": no valid answer from the board at device address " << t.address
              << " on COM" << Effective(t).port << " (check the cable, that the board is on, and the device address)\n";
    return 1;
}

bool ImageUsesGamma(const PanelImage& image) { return (image.bytes[panel_image::kPanelFlagsHigh] & kImageUseGamma) != 0; }

// The differing bytes of a block, named by their place in the block and in flash.
std::vector<std::string> CompareBlock(const char* block, uint32_t flashBase, const uint8_t* wrote, const uint8_t* read,
                                      std::size_t n) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < n; ++i)
        if (wrote[i] != read[i])
            lines.push_back(std::string(block) + " byte " + Hex2(static_cast<unsigned>(i)) + " (flash " +
                            Hex4(flashBase + static_cast<unsigned>(i)) + "): wrote " + Hex2(wrote[i]) +
                            ", read back " + Hex2(read[i]));
    return lines;
}

int VerifyFailed(Output& o, const std::vector<std::string>& diffs) {
    o.err << "tolvane2-cli: verify failed: " << diffs.size() << (diffs.size() == 1 ? " byte differs" : " bytes differ")
          << "\n";
    for (std::size_t i = 0; i < diffs.size() && i < 32; ++i) o.err << "  " << diffs[i] << "\n";
    if (diffs.size() > 32) o.err << "  ... and " << diffs.size() - 32 << " more\n";
    return 1;
}

bool ValidSlot(int panel, Output& o) {
    if (panel >= 1 && panel <= 4) return true;
    o.err << "tolvane2-cli: panel number " << panel << " is not 1..4\n";
    return false;
}

// Reads a panel slot: its image, and its gamma table when the image uses it
// or `alwaysGamma` asks for it.
int ReadPanelSlot(const BoardTarget& t, int slot, bool alwaysGamma, PanelImage& image, GammaTable& gamma,
                  bool& gotGamma, Output& o) {
    const std::string name = "Panel " + std::to_string(slot + 1);
    int rc;
    {
        Bar bar(o, "read " + name + " image", 64);
        rc = bar.Done(Vantrel_GetPanelData(t.address, slot, image.bytes));
    }
    if (rc < 0) return TransferFailed(t, o, "reading " + name, rc);
    gotGamma = alwaysGamma || ImageUsesGamma(image);
    if (gotGamma) {
        Bar bar(o, "read " + name + " gamma", 256);
        rc = bar.Done(Vantrel_GetPanelGamma(t.address, slot, gamma.level));
        if (rc < 0) return TransferFailed(t, o, "reading the gamma table of " + name, rc);
    }
    return 0;
}

PanelRecord RecordFromBoard(const PanelImage& image, const GammaTable& gamma, bool gotGamma) {
    PanelRecord r{};
    SetPanelDefaults(r);
    ImageToPanelRecord(image, gamma, r);
    // The board's gamma table is kept even when the panel does not use it, so
    // that a backup holds everything a write may overwrite.
    if (gotGamma) r.gammaTable = gamma;
    // A resolution that is not the standard pair was typed in: keep it so, or
    // the editor would replace it by its class's pair before the next write.
    if (!IsStandardResolution(r.hResolution, r.vResolution)) SetCustomResolution(r, true);
    return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// info
// ---------------------------------------------------------------------------

int CmdInfo(const BoardTarget& t, Output& o) {
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    uint8_t v1 = 0, v2 = 0;
    if (Vantrel_Version(t.address, &v1, &v2) < 0) return TransferFailed(t, o, "reading the version", -1);
    const int current = Vantrel_CurrentPanel(t.address);
    if (current < 0) return TransferFailed(t, o, "reading the current panel", -1);
    Json panels = Json::array();
    for (int slot = 0; slot < 4; ++slot) {
        PanelInfoRecord info{};
        if (Vantrel_PanelInfo(t.address, slot, &info) < 0)
            return TransferFailed(t, o, "reading the information on Panel " + std::to_string(slot + 1), -1);
        std::size_t len = 0;
        while (len < 16 && info.name[len] != '\0') ++len;
        Json p;
        p["panel"] = slot + 1;
        p["name"] = std::string(info.name, len);
        p["manufacturer"] = uint8_t{info.byte1};
        p["manufacturerText"] = ListText(kManufacturers, kManufacturerCount, uint8_t{info.byte1});
        p["hResolution"] = int32_t{info.word1};
        p["vResolution"] = int32_t{info.word2};
        p["maxDisplayClock10kHz"] = int32_t{info.word3};
        p["colorDepth"] = uint8_t{info.byte2};
        p["panelFlagsHigh"] = uint8_t{info.byte3};
        panels.push_back(p);
    }
    ModeInfoRecord mode{};
    if (Vantrel_ModeInfo(t.address, &mode) < 0) return TransferFailed(t, o, "reading the mode information", -1);

    Json j;
    j["address"] = t.address;
    j["port"] = Effective(t).port;
    j["device"] = DevicePathOfPort(Effective(t).port);
    j["version"] = {v1, v2};
    j["currentPanel"] = current + 1;
    j["panels"] = panels;
    Json m;
    m["hFreq"] = int32_t{mode.word1};
    m["vFreq"] = int32_t{mode.word2};
    m["activeWidth"] = int32_t{mode.word3};
    m["activeHeight"] = int32_t{mode.word4};
    m["index"] = uint8_t{mode.byte1};
    m["modeFlags"] = uint8_t{mode.byte2};
    j["currentMode"] = m;
    if (o.json) {
        o.out << j.dump(2) << "\n";
        return 0;
    }
    o.out << "Board at device address " << t.address << " on COM" << Effective(t).port << " ("
          << DevicePathOfPort(Effective(t).port) << ")\n";
    o.out << "  Version               " << unsigned{v1} << "." << unsigned{v2} << "\n";
    o.out << "  Current panel         Panel " << current + 1 << "\n";
    for (const Json& p : panels) {
        const Json& text = p["manufacturerText"];
        o.out << "  Panel " << p["panel"].get<int>() << "               \"" << p["name"].get<std::string>() << "\", "
              << (text.is_string() ? text.get<std::string>() : "manufacturer " + p["manufacturer"].dump()) << ", "
              << p["hResolution"].get<int>() << " x " << p["vResolution"].get<int>() << ", max. clock "
              << FormatScaled(p["maxDisplayClock10kHz"].get<int64_t>(), 2) << " MHz, colour depth "
              << p["colorDepth"].get<int>() << ", flags " << Hex2(p["panelFlagsHigh"].get<unsigned>()) << "\n";
    }
    if (uint8_t{mode.byte1} == 0xFF)
        o.out << "  Current mode          none\n";
    else
        o.out << "  Current mode          entry " << unsigned{uint8_t{mode.byte1}} << ": " << int32_t{mode.word3} << " x " << int32_t{mode.word4}
              << ", " << FormatScaled(int32_t{mode.word1}, 1) << " kHz, " << FormatScaled(int32_t{mode.word2}, 1) << " Hz, flags "
              << Hex2(uint8_t{mode.byte2}) << "\n";
    return 0;
}

// ---------------------------------------------------------------------------
// panel read / write
// ---------------------------------------------------------------------------

int CmdPanelRead(const BoardTarget& t, int panel, const std::string& outFile, Output& o) {
    if (!ValidSlot(panel, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    PanelImage image{};
    GammaTable gamma{};
    bool gotGamma = false;
    if (int rc = ReadPanelSlot(t, panel - 1, false, image, gamma, gotGamma, o)) return rc;
    RecordFile file;
    file.kind = FileKindId::Panel;
    file.panel = RecordFromBoard(image, gamma, gotGamma);
    if (!outFile.empty()) {
        std::string error;
        if (!SaveRecordFile(outFile, file, error)) {
            o.err << "tolvane2-cli: " << error << "\n";
            return 1;
        }
        if (!o.quiet) o.err << "Panel " << panel << " read into " << outFile << "\n";
    }
    if (o.json) o.out << PanelToJson(file.panel).dump(2) << "\n";
    else if (outFile.empty()) ShowPanel(o.out, file.panel);
    return 0;
}

int CmdPanelWrite(const BoardTarget& t, const std::string& path, int panel, const WriteOptions& w, Output& o) {
    if (!ValidSlot(panel, o)) return 2;
    RecordFile file;
    std::string error;
    if (!LoadRecordFile(path, FileKindId::Panel, file, error)) {
        o.err << "tolvane2-cli: " << error << "\n";
        return 1;
    }
    // The file is written as it is, like the editor's merged files: the
    // resolution class is not applied again.
    PanelImage image{};
    GammaTable gamma{};
    PanelRecordToImage(file.panel, image, gamma);
    const bool withGamma = ImageUsesGamma(image);
    const int slot = panel - 1;
    const std::string name = "Panel " + std::to_string(panel);

    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);

    if (!w.backup.empty()) {
        PanelImage old{};
        GammaTable oldGamma{};
        bool gotGamma = false;
        if (ReadPanelSlot(t, slot, withGamma, old, oldGamma, gotGamma, o) != 0) {
            o.err << "tolvane2-cli: backup of " << name << " failed; nothing was written\n";
            return 1;
        }
        RecordFile backup;
        backup.kind = FileKindId::Panel;
        backup.panel = RecordFromBoard(old, oldGamma, gotGamma);
        if (!SaveRecordFile(w.backup, backup, error)) {
            o.err << "tolvane2-cli: " << error << "; backup failed, nothing was written\n";
            return 1;
        }
        if (!o.quiet) o.err << name << " saved to " << w.backup << "\n";
    }

    int rc;
    {
        Bar bar(o, "write " + name + " image", 64);
        rc = bar.Done(Vantrel_WritePanelData(t.address, slot, image.bytes));
    }
    if (rc < 0) return TransferFailed(t, o, "writing " + name, rc);
    if (withGamma) {
        Bar bar(o, "write " + name + " gamma", 256);
        rc = bar.Done(Vantrel_WritePanelGamma(t.address, slot, gamma.level));
        if (rc < 0) return TransferFailed(t, o, "writing the gamma table of " + name, rc);
    }
    if (w.verify) {
        PanelImage back{};
        GammaTable backGamma{};
        bool gotGamma = false;
        if (ReadPanelSlot(t, slot, withGamma, back, backGamma, gotGamma, o) != 0) {
            o.err << "tolvane2-cli: verify of " << name << " failed: the slot could not be read back\n";
            return 1;
        }
        auto diffs = CompareBlock("panel image", kPanelImageBase + 64u * static_cast<uint32_t>(slot), image.bytes,
                                  back.bytes, 64);
        if (withGamma) {
            auto g = CompareBlock("gamma table", kGammaBase + 256u * static_cast<uint32_t>(slot), gamma.level,
                                  backGamma.level, 256);
            diffs.insert(diffs.end(), g.begin(), g.end());
        }
        if (!diffs.empty()) return VerifyFailed(o, diffs);
    }
    if (!w.noReset) Vantrel_Reset(t.address);
    if (!o.quiet)
        o.err << name << " written (" << (withGamma ? "64 + 256" : "64") << " bytes)" << (w.verify ? ", verified" : "")
              << (w.noReset ? "" : ", board reset") << "\n";
    return 0;
}

// ---------------------------------------------------------------------------
// modes read / write
// ---------------------------------------------------------------------------

namespace {

int ReadModes(const BoardTarget& t, ModeTableImage& image, Output& o) {
    Bar bar(o, "read mode table", 768);
    const int rc = bar.Done(Vantrel_GetModeTable(t.address, image.bytes));
    return rc < 0 ? TransferFailed(t, o, "reading the mode table", rc) : 0;
}

}  // namespace

int CmdModesRead(const BoardTarget& t, const std::string& outFile, Output& o) {
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    ModeTableImage image{};
    if (int rc = ReadModes(t, image, o)) return rc;
    RecordFile file;
    file.kind = FileKindId::Modes;
    ImageToModeTable(image, file.modes);
    if (!outFile.empty()) {
        std::string error;
        if (!SaveRecordFile(outFile, file, error)) {
            o.err << "tolvane2-cli: " << error << "\n";
            return 1;
        }
        if (!o.quiet) o.err << "Mode table read into " << outFile << "\n";
    }
    if (o.json) o.out << ModesToJson(file.modes).dump(2) << "\n";
    else if (outFile.empty()) ShowModes(o.out, file.modes);
    return 0;
}

int CmdModesWrite(const BoardTarget& t, const std::string& path, const WriteOptions& w, Output& o) {
    RecordFile file;
    std::string error;
    if (!LoadRecordFile(path, FileKindId::Modes, file, error)) {
        o.err << "tolvane2-cli: " << error << "\n";
        return 1;
    }
    ModeTableImage image{};
    ModeTableToImage(file.modes, image);

    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    if (!w.backup.empty()) {
        ModeTableImage old{};
        if (ReadModes(t, old, o) != 0) {
            o.err << "tolvane2-cli: backup of the mode table failed; nothing was written\n";
            return 1;
        }
        RecordFile backup;
        backup.kind = FileKindId::Modes;
        ImageToModeTable(old, backup.modes);
        if (!SaveRecordFile(w.backup, backup, error)) {
            o.err << "tolvane2-cli: " << error << "; backup failed, nothing was written\n";
            return 1;
        }
        if (!o.quiet) o.err << "Mode table saved to " << w.backup << "\n";
    }
    int rc;
    {
        Bar bar(o, "write mode table", 768);
        rc = bar.Done(Vantrel_WriteModeTable(t.address, image.bytes));
    }
    if (rc < 0) return TransferFailed(t, o, "writing the mode table", rc);
    if (w.verify) {
        ModeTableImage back{};
        if (ReadModes(t, back, o) != 0) {
            o.err << "tolvane2-cli: verify of the mode table failed: it could not be read back\n";
            return 1;
        }
        auto diffs = CompareBlock("mode table", kModeTableBase, image.bytes, back.bytes, 768);
        if (!diffs.empty()) return VerifyFailed(o, diffs);
    }
    if (!w.noReset) Vantrel_Reset(t.address);
    if (!o.quiet)
        o.err << "Mode table written (" << file.modes.modeCount << " modes, 768 bytes)" << (w.verify ? ", verified" : "")
              << (w.noReset ? "" : ", board reset") << "\n";
    return 0;
}

}  // namespace cli

namespace cli {

int CmdScan(const BoardTarget& t, int probeMs, Output& o) {
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    constexpr int kLastAddress = 254;   // 255 is the broadcast
    if (o.progress) {
        g_progress.err = &o.err;
        g_progress.label = "Scanning";
    }
    Json found = Json::array();
    for (int address = 0; address <= kLastAddress; ++address) {
        DrawBar(kLastAddress + 1, static_cast<unsigned>(address));
        uint8_t v1 = 0, v2 = 0;
        if (Vantrel_ProbeDevice(address, probeMs, &v1, &v2) != 0) continue;
        Json d;
        d["address"] = address;
        d["version"] = {v1, v2};
        const int current = Vantrel_CurrentPanel(address);
        if (current >= 0)
            d["currentPanel"] = current + 1;
        else
            d["currentPanel"] = nullptr;
        found.push_back(d);
    }
    if (g_progress.err != nullptr) {
        DrawBar(kLastAddress + 1, kLastAddress + 1);
        o.err << "\n" << std::flush;
        g_progress = {};
    }
    const BoardTarget e = Effective(t);
    if (o.json) {
        Json j;
        j["port"] = e.port;
        j["device"] = DevicePathOfPort(e.port);
        j["devices"] = found;
        o.out << j.dump(2) << "\n";
    } else {
        for (const Json& d : found) {
            o.out << "Device address " << d["address"].get<int>() << ": version " << d["version"][0].get<int>() << "."
                  << d["version"][1].get<int>() << ", current panel ";
            if (d["currentPanel"].is_null())
                o.out << "unknown (no answer)\n";
            else
                o.out << "Panel " << d["currentPanel"].get<int>() << "\n";
        }
    }
    if (found.empty()) {
        o.err << "tolvane2-cli: no board answered on COM" << e.port << " (" << DevicePathOfPort(e.port)
              << ") at device addresses 0..254\n";
        return 1;
    }
    if (!o.quiet && !o.json)
        o.err << found.size() << (found.size() == 1 ? " board" : " boards") << " found\n";
    return 0;
}

}  // namespace cli
