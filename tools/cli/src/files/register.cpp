// The file commands as the command line offers them.
#include <CLI/CLI.hpp>

#include <map>
#include <memory>
#include <optional>

#include "command.h"
#include "files/file_commands.h"

namespace cli {
namespace {

struct FileArgs {
    std::string file, file2, outFile, kind;
    std::optional<FileKindId> Kind() const {
        static const std::map<std::string, FileKindId> kinds = {
            {"panel", FileKindId::Panel}, {"modes", FileKindId::Modes}, {"gamma", FileKindId::Gamma}};
        if (kind.empty()) return std::nullopt;
        return kinds.at(kind);
    }
};

void AddKind(Command& c, std::string& kind) {
    c.app->add_option("--kind", kind, "Kind of the file when its size and magic do not tell")
        ->check(CLI::IsMember({"panel", "modes", "gamma"}));
}

// The readers of files.h and the JSON and CSV readers bound what they read
// themselves (each with its own limit and message).
constexpr std::uintmax_t kOwnBound = 0;

}  // namespace

void RegisterFileCommands(Registry& r) {
    auto a = std::make_shared<FileArgs>();
    FileArgs& x = *a;

    auto& show = r.Add("show", "Readable summary of a panel, mode or gamma table file",
                       [a](Context& c) { return CmdShow(a->file, a->Kind(), c.o); });
    show.Input("FILE", x.file, "File (.PNL, .MOD, .GAM or a JSON form)", kOwnBound).Example("show PANEL");
    AddKind(show, x.kind);

    auto& toJson = r.Add("to-json", "The JSON form of a file (every byte kept)",
                         [a](Context& c) { return CmdToJson(a->file, a->Kind(), a->outFile, c.o); });
    toJson.Input("FILE", x.file, "File (.PNL, .MOD or .GAM)", kOwnBound)
        .Output("-o,--output", x.outFile, "Write the JSON here instead of stdout (-: stdout)")
        .Example("to-json PANEL -o OUT");
    AddKind(toJson, x.kind);

    r.Add("from-json", "Turn a JSON form back into its binary file",
          [a](Context& c) { return CmdFromJson(a->file, a->outFile, c.o); })
        .Input("JSON", x.file, "JSON form", kOwnBound)
        .Output("-o,--output", x.outFile, "Binary file to write (-: stdout, not a terminal)", true)
        .Example("from-json JSON -o OUT");

    auto& diff = r.Add("diff", "Compare two files field by field (exit 1 when they differ)",
                       [a](Context& c) { return CmdDiff(a->file, a->file2, a->Kind(), c.o); });
    diff.Input("A", x.file, "First file", kOwnBound)
        .Input("B", x.file2, "Second file", kOwnBound)
        .Example("diff PANEL JSON");
    AddKind(diff, x.kind);

    auto& check = r.Add("check", "Check a panel or mode file (exit 1 on any error)",
                        [a](Context& c) { return CmdCheck(a->file, a->Kind(), c.o); });
    check.Input("FILE", x.file, "File to check", kOwnBound).Example("check PANEL");
    AddKind(check, x.kind);

    r.Add("merge", "Merge a panel file and a gamma table file into a new panel file",
          [a](Context& c) { return CmdMerge(a->file, a->file2, a->outFile, c.o); })
        .Input("PANEL", x.file, "Panel file (.PNL or its JSON form)", kOwnBound)
        .Input("GAMMA", x.file2, "Gamma table file (.GAM, 256 bytes, or its JSON form)", kOwnBound)
        .Output("-o,--output", x.outFile, "Merged panel file to write (-: stdout, not a terminal)", true)
        .Example("merge PANEL GAMMA -o OUT");

    r.Group("gamma", "Gamma tables as CSV");
    r.Add("gamma to-csv", "Gamma table (of a .GAM or a panel file) as CSV",
          [a](Context& c) { return CmdGammaToCsv(a->file, a->outFile, c.o); })
        .Input("FILE", x.file, "Gamma table file or panel file", kOwnBound)
        .Output("-o,--output", x.outFile, "Write the CSV here instead of stdout (-: stdout)")
        .Example("gamma to-csv GAMMA -o OUT");
    r.Add("gamma from-csv", "Gamma table file from CSV lines \"input,output\"",
          [a](Context& c) { return CmdGammaFromCsv(a->file, a->outFile, c.o); })
        .Input("CSV", x.file, "CSV with 256 lines input,output", kOwnBound)
        .Output("-o,--output", x.outFile, "Gamma table file to write (-: stdout, not a terminal)", true)
        .Example("gamma from-csv CSV -o OUT");

    auto& plot = r.Add("plot",
                       "Draw a file as SVG: gamma curve and sync timing of a panel file, the curve of a gamma table, "
                       "the frequency map of a mode table",
                       [a](Context& c) { return CmdPlot(a->file, a->Kind(), a->outFile, c.o); });
    plot.Input("FILE", x.file, "File (.PNL, .GAM, .MOD or a JSON form)", kOwnBound)
        .Output("-o,--output", x.outFile, "SVG file to write (without it: stdout)")
        .Example("plot PANEL -o OUT");
    AddKind(plot, x.kind);
}

}  // namespace cli
