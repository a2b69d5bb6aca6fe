// modes read and modes write: the mode table of the board, with backup and verify.
#include "board/board_commands.h"

#include "board/board_write.h"
#include "files/file_commands.h"
#include "board/link_session.h"
#include "files/json_form.h"
#include "files/record_files.h"
#include "files/show.h"
#include "tolvane/modes.h"
#include "tolvane/panel_checks.h"
#include "vantrel.h"

namespace cli {

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
            o.Error() << error;
            return 1;
        }
        o.Note() << "mode table read into " << outFile;
    }
    if (o.json) o.WriteJson(ModesToJson(file.modes));
    else if (outFile.empty()) ShowModes(o.out, file.modes);
    return 0;
}

int CmdModesWrite(const BoardTarget& t, const std::string& path, const WriteOptions& w, Output& o) {
    RecordFile file;
    if (!LoadWithWarnings(path, FileKindId::Modes, file, o)) return 1;
    const auto findings = CheckModeTable(file.modes);
    if (!AcceptFindings(path, findings, w.force, o)) return 1;
    ModeTableImage image{};
    ModeTableToImage(file.modes, image);

    WriteRun run;
    run.command = "modes write";
    run.subject = "the mode table";
    run.file = path;
    run.fileHasErrors = HasCheckError(findings);
    run.blocks.push_back({"mode table", VANTREL_MODE_TABLE_BASE, VANTREL_MODE_TABLE_SIZE,
                          [&] { return Vantrel_WriteModeTable(t.address, image.bytes); }});

    WriteSteps steps;
    steps.backup = [&](std::string& error, bool& hasErrors) {
        ModeTableImage old{};
        if (ReadModes(t, old, o) != 0) return false;
        RecordFile backup;
        backup.kind = FileKindId::Modes;
        ImageToModeTable(old, backup.modes);
        hasErrors = HasCheckError(CheckModeTable(backup.modes));
        return SaveRecordFile(w.backup, backup, error);
    };
    steps.readBack = [&]() -> std::optional<std::vector<ByteDifference>> {
        ModeTableImage back{};
        if (ReadModes(t, back, o) != 0) return std::nullopt;
        return CompareBlock("mode table", VANTREL_MODE_TABLE_BASE, image.bytes, back.bytes, VANTREL_MODE_TABLE_SIZE);
    };
    steps.unreadable = "it could not be read back";
    steps.done = "mode table written (" + std::to_string(file.modes.modeCount) + " modes, 768 bytes";
    return RunBoardWrite(t, w, run, steps, o);
}

}  // namespace cli
