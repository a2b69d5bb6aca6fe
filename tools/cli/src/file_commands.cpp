#include "file_commands.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "plot.h"
#include "show.h"
#include "tolvane/file_io.h"
#include "tolvane/files.h"
#include "tolvane/panel_checks.h"

namespace cli {
namespace {

int Fail(Output& o, const std::string& message) {
    o.err << "tolvane2-cli: " << message << "\n";
    return 1;
}

bool Load(const std::string& path, std::optional<FileKindId> kind, RecordFile& file, Output& o) {
    std::string error;
    if (LoadRecordFile(path, kind, file, error)) return true;
    o.err << "tolvane2-cli: " << error << "\n";
    return false;
}

// Text output goes to stdout, or atomically into a file with -o.
int Emit(const std::string& text, const std::string& outFile, Output& o) {
    if (outFile.empty() || outFile == "-") {
        o.out << text;
        return 0;
    }
    if (!WriteFileAtomically(PathFromUtf8(outFile), text.data(), text.size())) return Fail(o, outFile + ": cannot write the file");
    return 0;
}

}  // namespace

int CmdShow(const std::string& path, std::optional<FileKindId> kind, Output& o) {
    RecordFile file;
    if (!Load(path, kind, file, o)) return 1;
    if (o.json) o.out << RecordToJson(file).dump(2) << "\n";
    else ShowRecordFile(o.out, file);
    return 0;
}

int CmdToJson(const std::string& path, std::optional<FileKindId> kind, const std::string& outFile, Output& o) {
    RecordFile file;
    if (!Load(path, kind, file, o)) return 1;
    return Emit(RecordToJson(file).dump(2) + "\n", outFile, o);
}

int CmdFromJson(const std::string& path, const std::string& outFile, Output& o) {
    RecordFile file;
    if (!Load(path, std::nullopt, file, o)) return 1;
    if (!file.fromJson) return Fail(o, path + ": not a JSON form (it does not begin with '{')");
    std::string error;
    if (!SaveRecordFile(outFile, file, error)) return Fail(o, error);
    if (!o.quiet) {
        std::string kind = KindName(file.kind);
        kind[0] = static_cast<char>(kind[0] - 'a' + 'A');
        o.err << kind << " file written to " << outFile << "\n";
    }
    return 0;
}

int CmdDiff(const std::string& a, const std::string& b, std::optional<FileKindId> kind, Output& o) {
    RecordFile fa, fb;
    if (!Load(a, kind, fa, o) || !Load(b, kind, fb, o)) return 1;
    if (fa.kind != fb.kind)
        return Fail(o, a + " is a " + KindName(fa.kind) + ", " + b + " a " + KindName(fb.kind) +
                           "; only files of one kind compare");
    const auto diffs = DiffRecords(fa, fb);
    if (o.json) {
        Json list = Json::array();
        for (const auto& d : diffs) list.push_back(Json{{"field", d.field}, {"a", d.a}, {"b", d.b}});
        o.out << list.dump(2) << "\n";
    } else {
        for (const auto& d : diffs) o.out << d.field << ": " << d.a.dump() << " -> " << d.b.dump() << "\n";
    }
    return diffs.empty() ? 0 : 1;
}

int CmdCheck(const std::string& path, std::optional<FileKindId> kind, Output& o) {
    RecordFile file;
    if (!Load(path, kind, file, o)) return 1;
    std::vector<CheckFinding> findings;
    if (file.kind == FileKindId::Panel) findings = CheckPanelRecord(file.panel);
    else if (file.kind == FileKindId::Modes) findings = CheckModeTable(file.modes);
    const bool failed = HasCheckError(findings);
    if (o.json) {
        Json list = Json::array();
        for (const auto& f : findings)
            list.push_back(Json{{"severity", f.severity == CheckSeverity::Error ? "error" : "warning"},
                                {"field", f.field},
                                {"message", f.message}});
        o.out << Json{{"file", path}, {"kind", KindName(file.kind)}, {"ok", !failed}, {"findings", list}}.dump(2)
              << "\n";
    } else {
        for (const auto& f : findings)
            o.out << path << ": " << (f.severity == CheckSeverity::Error ? "error" : "warning") << ": " << f.field
                  << ": " << f.message << "\n";
        if (findings.empty() && !o.quiet) o.err << path << ": no findings\n";
    }
    return failed ? 1 : 0;
}

int CmdMerge(const std::string& panelPath, const std::string& gammaPath, const std::string& outFile, Output& o) {
    PanelRecord panel{};
    bool wrongFormat = false;
    if (!ReadPanelFile(PathFromUtf8(panelPath), panel, wrongFormat)) return Fail(o, panelPath + ": ERROR: Wrong format of panel file !");
    GammaTable gamma{};
    if (!ReadGammaFile(PathFromUtf8(gammaPath), gamma)) return Fail(o, gammaPath + ": ERROR: Wrong format of gamma table !");
    panel.gammaTable = gamma;
    SetPanelFlag(panel, kUseGamma, true);
    if (!WritePanelFile(PathFromUtf8(outFile), panel)) return Fail(o, outFile + ": ERROR: Can't write panel data !");
    if (!o.quiet) o.err << "Merged panel written to " << outFile << "\n";
    return 0;
}

int CmdGammaToCsv(const std::string& path, const std::string& outFile, Output& o) {
    RecordFile file;
    if (!Load(path, std::nullopt, file, o)) return 1;
    const GammaTable* g = nullptr;
    if (file.kind == FileKindId::Gamma) g = &file.gamma;
    else if (file.kind == FileKindId::Panel) g = &file.panel.gammaTable;
    else return Fail(o, path + ": a mode table has no gamma table");
    if (o.json) return Emit(GammaToJson(*g).dump(2) + "\n", outFile, o);
    std::string text = "input,output\n";
    for (int i = 0; i < 256; ++i) text += std::to_string(i) + "," + std::to_string(g->level[i]) + "\n";
    return Emit(text, outFile, o);
}

int CmdGammaFromCsv(const std::string& path, const std::string& outFile, Output& o) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) return Fail(o, path + ": cannot be opened");
    GammaTable g{};
    bool seen[256] = {};
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        if (lineNo == 1 && line.find_first_of("0123456789") > line.find(',')) continue;  // a header line
        const auto comma = line.find(',');
        auto number = [&](const std::string& s, long& v) {
            std::size_t used = 0;
            try {
                v = std::stol(s, &used);
            } catch (...) {
                return false;
            }
            return s.find_first_not_of(" \t", used) == std::string::npos;
        };
        long input = 0, output = 0;
        if (comma == std::string::npos || !number(line.substr(0, comma), input) ||
            !number(line.substr(comma + 1), output))
            return Fail(o, path + ":" + std::to_string(lineNo) + ": expected \"input,output\", two numbers");
        if (input < 0 || input > 255) return Fail(o, path + ":" + std::to_string(lineNo) + ": input " +
                                                         std::to_string(input) + " is not 0..255");
        if (output < 0 || output > 255) return Fail(o, path + ":" + std::to_string(lineNo) + ": output " +
                                                           std::to_string(output) + " is not 0..255");
        if (seen[input]) return Fail(o, path + ":" + std::to_string(lineNo) + ": input " + std::to_string(input) +
                                            " is given twice");
        seen[input] = true;
        g.level[input] = static_cast<uint8_t>(output);
    }
    for (int i = 0; i < 256; ++i)
        if (!seen[i]) return Fail(o, path + ": input " + std::to_string(i) + " is missing (all 256 are needed)");
    if (!WriteGammaFile(PathFromUtf8(outFile), g)) return Fail(o, outFile + ": cannot write the gamma table file");
    if (!o.quiet) o.err << "Gamma table written to " << outFile << "\n";
    return 0;
}

int CmdPlot(const std::string& path, std::optional<FileKindId> kind, const std::string& outFile, Output& o) {
    RecordFile file;
    if (!Load(path, kind, file, o)) return 1;
    return Emit(PlotSvg(file), outFile, o);
}

}  // namespace cli
