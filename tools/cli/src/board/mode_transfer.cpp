// modes read and modes write: the mode table of the board, with backup and verify.
#include "board_commands.h"

#include "board/link_session.h"
#include "json_form.h"
#include "record_files.h"
#include "show.h"
#include "tolvane/modes.h"
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
