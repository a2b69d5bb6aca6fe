#include "files/file_commands.h"

#include <cerrno>
#include <charconv>

#include "file_policy.h"
#include "files/gamma_csv.h"
#include "files/plot.h"
#include "files/show.h"
#include "text_out.h"
#include "tolvane/file_io.h"
#include "tolvane/files.h"
#include "tolvane/panel.h"
#include "tolvane/panel_checks.h"

namespace cli {
namespace {

// A CSV longer than this is no gamma table (256 short lines and some comments).
constexpr std::size_t kMaxCsvSize = 1024 * 1024;

int Fail(Output& o, const std::string& message) {
    o.Error() << message;
    return 1;
}

// Text output goes to stdout, or atomically into a file with -o.
int Emit(const std::string& text, const std::string& outFile, Output& o) {
    std::string error;
    if (!WriteOutput(outFile, text, false, "cannot write the file", o, error)) return Fail(o, error);
    return 0;
}

// A binary file goes to `outFile`, or to stdout for "-"; the message tells where.
int EmitBinary(const RecordFile& file, const std::string& outFile, const std::string& what, Output& o) {
    std::string error;
    if (!WriteOutput(outFile, RecordFileBytes(file), true, WriteFailureText(file.kind), o, error))
        return Fail(o, error);
    o.Note() << what << " written to " << (outFile == "-" ? "standard output" : ShownPath(outFile));
    return 0;
}

// Field paths that end in an index, "gammaTable[17]": the name and the index.
bool IndexedField(const std::string& field, std::string& name, long& index) {
    if (field.empty() || field.back() != ']') return false;
    const auto open = field.rfind('[');
    if (open == std::string::npos || field.find('.', open) != std::string::npos) return false;
    const char* first = field.data() + open + 1;
    const char* last = field.data() + field.size() - 1;
    const auto [end, ec] = std::from_chars(first, last, index);
    if (ec != std::errc() || end != last) return false;
    name = field.substr(0, open);
    return true;
}

}  // namespace

bool LoadWithWarnings(const std::string& path, std::optional<FileKindId> kind, RecordFile& file, Output& o) {
    std::string error;
    if (!LoadRecordFile(path, kind, file, error)) {
        o.Error() << error;
        return false;
    }
    for (const auto& warning : file.warnings) o.Note() << warning;
    return true;
}

int CmdShow(const std::string& path, std::optional<FileKindId> kind, Output& o) {
    RecordFile file;
    if (!LoadWithWarnings(path, kind, file, o)) return 1;
    if (o.json) o.WriteJson(RecordToJson(file));
    else ShowRecordFile(o.out, file);
    return 0;
}

int CmdToJson(const std::string& path, std::optional<FileKindId> kind, const std::string& outFile, Output& o) {
    RecordFile file;
    if (!LoadWithWarnings(path, kind, file, o)) return 1;
    return Emit(DumpJson(RecordToJson(file)) + "\n", outFile, o);
}

int CmdFromJson(const std::string& path, const std::string& outFile, Output& o) {
    RecordFile file;
    if (!LoadWithWarnings(path, std::nullopt, file, o)) return 1;
    if (!file.fromJson) return Fail(o, ShownPath(path) + ": not a JSON form (it does not begin with '{')");
    std::string kind = KindName(file.kind);
    kind[0] = static_cast<char>(kind[0] - 'a' + 'A');
    return EmitBinary(file, outFile, kind + " file", o);
}

int CmdDiff(const std::string& a, const std::string& b, std::optional<FileKindId> kind, Output& o) {
    RecordFile fa, fb;
    if (!LoadWithWarnings(a, kind, fa, o) || !LoadWithWarnings(b, kind, fb, o)) return 1;
    if (fa.kind != fb.kind)
        return Fail(o, ShownPath(a) + " is a " + KindName(fa.kind) + ", " + ShownPath(b) + " a " + KindName(fb.kind) +
                           "; only files of one kind compare");
    const auto diffs = DiffRecords(fa, fb);
    if (o.json) {
        Json list = Json::array();
        for (const auto& d : diffs) list.push_back(Json{{"field", d.field}, {"a", d.a}, {"b", d.b}});
        o.WriteJson(list);
        return diffs.empty() ? 0 : 1;
    }
    // A run of neighbouring entries of one array (a gamma curve moved) is one line.
    for (std::size_t i = 0; i < diffs.size();) {
        std::string name, next;
        long first = 0, index = 0;
        std::size_t end = i + 1;
        if (IndexedField(diffs[i].field, name, first)) {
            while (end < diffs.size() && IndexedField(diffs[end].field, next, index) && next == name &&
                   index == first + static_cast<long>(end - i))
                ++end;
        }
        if (end - i >= 3) {
            o.out << name << "[" << first << ".." << first + static_cast<long>(end - i) - 1 << "]: " << end - i
                  << " entries differ\n";
        } else {
            for (std::size_t k = i; k < end; ++k)
                o.out << diffs[k].field << ": " << diffs[k].a.dump() << " -> " << diffs[k].b.dump() << "\n";
        }
        i = end;
    }
    if (diffs.empty()) o.out << "no differences\n";
    else o.out << diffs.size() << (diffs.size() == 1 ? " field differs\n" : " fields differ\n");
    return diffs.empty() ? 0 : 1;
}

int CmdCheck(const std::string& path, std::optional<FileKindId> kind, Output& o) {
    RecordFile file;
    if (!LoadWithWarnings(path, kind, file, o)) return 1;
    std::vector<CheckFinding> findings;
    if (file.kind == FileKindId::Panel) findings = CheckPanelRecord(file.panel);
    else if (file.kind == FileKindId::Modes) findings = CheckModeTable(file.modes);
    const bool failed = HasCheckError(findings);
    const std::string shown = ShownPath(path);
    if (o.json) {
        Json list = Json::array();
        for (const auto& f : findings)
            list.push_back(Json{{"severity", f.severity == CheckSeverity::Error ? "error" : "warning"},
                                {"field", f.field},
                                {"message", ShownPath(std::string_view(f.message))}});
        o.WriteJson(Json{{"file", shown}, {"kind", KindName(file.kind)}, {"ok", !failed}, {"findings", list}});
    } else {
        for (const auto& f : findings)
            o.out << shown << ": " << (f.severity == CheckSeverity::Error ? "error" : "warning") << ": " << f.field
                  << ": " << f.message << "\n";
        if (findings.empty()) o.Note() << shown << ": no findings";
    }
    return failed ? 1 : 0;
}

int CmdMerge(const std::string& panelPath, const std::string& gammaPath, const std::string& outFile, Output& o) {
    RecordFile panel, gamma;
    if (!LoadWithWarnings(panelPath, FileKindId::Panel, panel, o) ||
        !LoadWithWarnings(gammaPath, FileKindId::Gamma, gamma, o))
        return 1;
    panel.panel.gammaTable = gamma.gamma;
    SetPanelFlag(panel.panel, kUseGamma, true);
    return EmitBinary(panel, outFile, "Merged panel", o);
}

int CmdGammaToCsv(const std::string& path, const std::string& outFile, Output& o) {
    RecordFile file;
    if (!LoadWithWarnings(path, std::nullopt, file, o)) return 1;
    const GammaTable* g = nullptr;
    if (file.kind == FileKindId::Gamma) g = &file.gamma;
    else if (file.kind == FileKindId::Panel) g = &file.panel.gammaTable;
    else return Fail(o, ShownPath(path) + ": a mode table has no gamma table");
    if (o.json) return Emit(DumpJson(GammaToJson(*g)) + "\n", outFile, o);
    std::string text = "input,output\n";
    for (int i = 0; i < 256; ++i) text += std::to_string(i) + "," + std::to_string(g->level[i]) + "\n";
    return Emit(text, outFile, o);
}

int CmdGammaFromCsv(const std::string& path, const std::string& outFile, Output& o) {
    std::string text, error;
    if (!ReadSmallFile(PathFromUtf8(path), kMaxCsvSize, text, error)) return Fail(o, error);
    RecordFile file;
    file.kind = FileKindId::Gamma;
    int line = 0;
    if (!ParseGammaCsv(text, file.gamma, error, line))
        return Fail(o, ShownPath(path) + (line > 0 ? ":" + std::to_string(line) + ": " : ": ") + error);
    return EmitBinary(file, outFile, "Gamma table", o);
}

int CmdPlot(const std::string& path, std::optional<FileKindId> kind, const std::string& outFile, Output& o) {
    RecordFile file;
    if (!LoadWithWarnings(path, kind, file, o)) return 1;
    return Emit(PlotSvg(file), outFile, o);
}

}  // namespace cli
