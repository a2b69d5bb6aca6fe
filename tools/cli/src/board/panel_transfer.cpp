// panel read and panel write: a panel slot of the board, its image and its
// gamma table, with backup and verify.
#include "board/board_commands.h"

#include "board/board_write.h"
#include "files/file_commands.h"
#include "board/link_session.h"
#include "files/json_form.h"
#include "files/record_files.h"
#include "files/show.h"
#include "tolvane/files.h"
#include "tolvane/panel.h"
#include "tolvane/panel_checks.h"
#include "vantrel.h"

namespace cli {
namespace {

bool ValidSlot(int panel, Output& o) {
    if (panel >= 1 && panel <= 4) return true;
    o.Error() << "panel number " << panel << " is not 1..4";
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

}  // namespace

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
            o.Error() << error;
            return 1;
        }
        o.Note() << "Panel " << panel << " read into " << outFile;
    }
    if (o.json) o.WriteJson(PanelToJson(file.panel));
    else if (outFile.empty()) ShowPanel(o.out, file.panel);
    return 0;
}

namespace {

// What the board holds in a slot, read back and compared with the image and
// gamma table that were written.
struct PanelSlotWrite {
    const BoardTarget& t;
    int slot;
    bool withGamma;
    const PanelImage& image;
    const GammaTable& gamma;
    uint32_t imageAt() const { return VANTREL_PANEL_IMAGE_BASE + VANTREL_PANEL_IMAGE_SIZE * uint32_t(slot); }
    uint32_t gammaAt() const { return VANTREL_GAMMA_BASE + VANTREL_GAMMA_SIZE * uint32_t(slot); }

    bool Backup(const std::string& path, std::string& error, bool& hasErrors, Output& o) const {
        PanelImage old{};
        GammaTable oldGamma{};
        bool gotGamma = false;
        if (ReadPanelSlot(t, slot, withGamma, old, oldGamma, gotGamma, o) != 0) return false;
        RecordFile backup;
        backup.kind = FileKindId::Panel;
        backup.panel = RecordFromBoard(old, oldGamma, gotGamma);
        hasErrors = HasCheckError(CheckPanelRecord(backup.panel));
        return SaveRecordFile(path, backup, error);
    }
    std::optional<std::vector<ByteDifference>> ReadBack(Output& o) const {
        PanelImage back{};
        GammaTable backGamma{};
        bool gotGamma = false;
        if (ReadPanelSlot(t, slot, withGamma, back, backGamma, gotGamma, o) != 0) return std::nullopt;
        auto diffs = CompareBlock("panel image", imageAt(), image.bytes, back.bytes, VANTREL_PANEL_IMAGE_SIZE);
        if (withGamma) {
            auto g = CompareBlock("gamma table", gammaAt(), gamma.level, backGamma.level, VANTREL_GAMMA_SIZE);
            diffs.insert(diffs.end(), g.begin(), g.end());
        }
        return diffs;
    }
};
}  // namespace

int CmdPanelWrite(const BoardTarget& t, const std::string& path, int panel, const WriteOptions& w, Output& o) {
    if (!ValidSlot(panel, o)) return 2;
    RecordFile file;
    if (!LoadWithWarnings(path, FileKindId::Panel, file, o)) return 1;
    const auto findings = CheckPanelRecord(file.panel);
    if (!AcceptFindings(path, findings, w.force, o)) return 1;
    // The file is written as it is, like the editor's merged files: the
    // resolution class is not applied again.
    PanelImage image{};
    GammaTable gamma{};
    PanelRecordToImage(file.panel, image, gamma);
    const int slot = panel - 1;
    const PanelSlotWrite slotWrite{t, slot, ImageUsesGamma(image), image, gamma};
    const std::string name = "Panel " + std::to_string(panel);

    WriteRun run;
    run.command = "panel write";
    run.subject = name;
    run.file = path;
    run.panel = panel;
    run.fileHasErrors = HasCheckError(findings);
    run.blocks.push_back({"panel image", slotWrite.imageAt(), VANTREL_PANEL_IMAGE_SIZE,
                          [&] { return Vantrel_WritePanelData(t.address, slot, image.bytes); }});
    if (slotWrite.withGamma)
        run.blocks.push_back({"gamma table", slotWrite.gammaAt(), VANTREL_GAMMA_SIZE,
                              [&] { return Vantrel_WritePanelGamma(t.address, slot, gamma.level); }});

    WriteSteps steps;
    steps.backup = [&](std::string& error, bool& hasErrors) { return slotWrite.Backup(w.backup, error, hasErrors, o); };
    steps.readBack = [&] { return slotWrite.ReadBack(o); };
    steps.unreadable = "the slot could not be read back";
    steps.done = name + " written (" + (slotWrite.withGamma ? "64 + 256" : "64") + " bytes";
    return RunBoardWrite(t, w, run, steps, o);
}

}  // namespace cli
