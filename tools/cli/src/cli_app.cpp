#include "cli_app.h"

#include <CLI/CLI.hpp>

#include <map>
#include <optional>

#include "board_commands.h"
#include "console/console.h"
#include "file_commands.h"
#include "program/program_command.h"

namespace cli {
namespace {

const std::map<std::string, FileKindId> kKinds = {
    {"panel", FileKindId::Panel}, {"modes", FileKindId::Modes}, {"gamma", FileKindId::Gamma}};

std::optional<FileKindId> KindOf(const std::string& name) {
    if (name.empty()) return std::nullopt;
    return kKinds.at(name);
}

CLI::Option* AddKind(CLI::App* sub, std::string& kind) {
    return sub->add_option("--kind", kind, "Kind of the file when its size and magic do not tell")
        ->check(CLI::IsMember({"panel", "modes", "gamma"}));
}

// The command word that names no command, when that is why parsing failed:
// the first word that is neither an option nor an option's value, and for
// commands with sub-commands ("panel", "modes", "gamma") the word after it.
std::optional<std::string> UnknownCommand(CLI::App& app, const std::vector<std::string>& args) {
    CLI::App* level = &app;
    std::string path;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") break;
        if (a.size() > 1 && a[0] == '-') {
            const std::string name = a.substr(0, a.find('='));
            const CLI::Option* opt = nullptr;
            for (CLI::App* at = level; at != nullptr && opt == nullptr; at = at->get_parent())
                opt = at->get_option_no_throw(name);
            if (opt != nullptr && opt->get_items_expected_max() > 0 && a.find('=') == std::string::npos) ++i;
            continue;
        }
        if (level->get_subcommands([](CLI::App*) { return true; }).empty()) return std::nullopt;
        path += path.empty() ? a : " " + a;
        CLI::App* sub = nullptr;
        try {
            sub = level->get_subcommand(a);
        } catch (const CLI::OptionNotFound&) {
            return path;
        }
        level = sub;
    }
    return std::nullopt;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    CLI::App app{
        "tolvane2-cli: panel files, mode tables and gamma tables of the Vantrel-2 board, on disk and on "
        "the board",
        "tolvane2-cli"};
    app.set_version_flag("--version", "tolvane2-cli 1.05");
    app.require_subcommand(1);

    bool json = false, quiet = false;
    BoardTarget target;
    app.add_flag("--json", json, "Print data as JSON");
    app.add_flag("-q,--quiet", quiet, "No messages on success and no progress bar");
    auto* portOpt = app.add_option("--port", target.port,
                                   "Serial port COM1..COM4 of the link library (1..4); "
                                   "port n is the device in VANTREL_COMn")
                        ->check(CLI::Range(1, 4));
    auto* deviceOpt =
        app.add_option("--device", target.device, "Serial device to use as COM1 (sets VANTREL_COM1 for this run)")
            ->excludes(portOpt);
    app.add_option("--address", target.address, "Device address of the board 0..255 (255: broadcast)")
        ->check(CLI::Range(0, 255));

    auto fall = [](CLI::App* sub) {
        sub->fallthrough();
        sub->footer(
            "Global options (--json, --quiet, --port, --device, --address) may come before or after the "
            "command; see tolvane2-cli --help.");
        return sub;
    };
    std::string file, file2, outFile, kind;
    int panel = 0;
    WriteOptions write;

    auto* show = fall(app.add_subcommand("show", "Readable summary of a panel, mode or gamma table file"));
    show->add_option("FILE", file, "File (.PNL, .MOD, .GAM or a JSON form)")->required();
    AddKind(show, kind);

    auto* toJson = fall(app.add_subcommand("to-json", "The JSON form of a file (every byte kept)"));
    toJson->add_option("FILE", file, "File (.PNL, .MOD or .GAM)")->required();
    toJson->add_option("-o,--output", outFile, "Write the JSON here instead of stdout (-: stdout)");
    AddKind(toJson, kind);

    auto* fromJson = fall(app.add_subcommand("from-json", "Turn a JSON form back into its binary file"));
    fromJson->add_option("JSON", file, "JSON form")->required();
    fromJson->add_option("-o,--output", outFile, "Binary file to write (-: stdout, not a terminal)")->required();

    auto* diff = fall(app.add_subcommand("diff", "Compare two files field by field (exit 1 when they differ)"));
    diff->add_option("A", file, "First file")->required();
    diff->add_option("B", file2, "Second file")->required();
    AddKind(diff, kind);

    auto* check = fall(app.add_subcommand("check", "Check a panel or mode file (exit 1 on any error)"));
    check->add_option("FILE", file, "File to check")->required();
    AddKind(check, kind);

    auto* merge = fall(app.add_subcommand("merge", "Merge a panel file and a gamma table file into a new panel file"));
    merge->add_option("PANEL", file, "Panel file (.PNL or its JSON form)")->required();
    merge->add_option("GAMMA", file2, "Gamma table file (.GAM, 256 bytes, or its JSON form)")->required();
    merge->add_option("-o,--output", outFile, "Merged panel file to write (-: stdout, not a terminal)")->required();

    auto* gamma = fall(app.add_subcommand("gamma", "Gamma tables as CSV"));
    gamma->require_subcommand(1);
    auto* toCsv = fall(gamma->add_subcommand("to-csv", "Gamma table (of a .GAM or a panel file) as CSV"));
    toCsv->add_option("FILE", file, "Gamma table file or panel file")->required();
    toCsv->add_option("-o,--output", outFile, "Write the CSV here instead of stdout (-: stdout)");
    auto* fromCsv = fall(gamma->add_subcommand("from-csv", "Gamma table file from CSV lines \"input,output\""));
    fromCsv->add_option("CSV", file, "CSV with 256 lines input,output")->required();
    fromCsv->add_option("-o,--output", outFile, "Gamma table file to write (-: stdout, not a terminal)")->required();

    auto* plot = fall(app.add_subcommand("plot",
                                         "Draw a file as SVG: gamma curve and sync timing of a panel file, "
                                         "the curve of a gamma table, the frequency map of a mode table"));
    plot->add_option("FILE", file, "File (.PNL, .GAM, .MOD or a JSON form)")->required();
    plot->add_option("-o,--output", outFile, "SVG file to write (without it: stdout)");
    AddKind(plot, kind);

    auto* info = fall(app.add_subcommand("info", "Version, current panel, panel and mode information of a board"));

    auto* panelCmd = fall(app.add_subcommand("panel", "Read or write a panel slot of the board"));
    panelCmd->require_subcommand(1);
    auto* panelRead = fall(panelCmd->add_subcommand("read", "Read Panel 1..4 from the board"));
    panelRead->add_option("SLOT", panel, "Panel number 1..4")->required()->check(CLI::Range(1, 4));
    panelRead->add_option("-o,--output", outFile, "Panel file to write (without it: a summary on stdout)");
    auto addWrite = [&](CLI::App* sub) {
        sub->add_flag("--verify", write.verify, "Read back and compare byte for byte");
        sub->add_option("--backup", write.backup, "Save what the board holds first; nothing is written if that fails");
        sub->add_flag("--no-reset", write.noReset, "Do not reset the board after the write");
        sub->add_option("--retries", write.retries,
                        "Whole tries more when the board gives no valid answer, 0..10 (default 1; 0: none)")
            ->check(CLI::Range(0, 10));
        sub->add_flag("--force", write.force, "Write a file in which the checks find errors");
    };
    auto* panelWrite = fall(panelCmd->add_subcommand("write", "Write a panel file to Panel 1..4 of the board"));
    panelWrite->add_option("FILE", file, "Panel file (.PNL or its JSON form)")->required();
    panelWrite->add_option("SLOT", panel, "Panel number 1..4")->required()->check(CLI::Range(1, 4));
    addWrite(panelWrite);

    auto* modes = fall(app.add_subcommand("modes", "Read or write the mode table of the board"));
    modes->require_subcommand(1);
    auto* modesRead = fall(modes->add_subcommand("read", "Read the mode table from the board"));
    modesRead->add_option("-o,--output", outFile, "Mode file to write (without it: a table on stdout)");
    auto* modesWrite = fall(modes->add_subcommand("write", "Write a mode file to the board"));
    modesWrite->add_option("FILE", file, "Mode file (.MOD or its JSON form)")->required();
    addWrite(modesWrite);

    int probeMs = 40;
    auto* scan = fall(app.add_subcommand(
        "scan",
        "List the device addresses 0..254 that answer on an RS-485 line, with version and current panel "
        "(exit 1 when none answers)"));
    scan->add_option("--timeout-ms", probeMs, "How long to wait for each address, 10..500 ms (default 40)")
        ->check(CLI::Range(10, 500));

    auto* ports = fall(app.add_subcommand(
        "ports", "How COM1..COM4 map to devices (and where each comes from), and the serial devices present"));

    const ConsoleDispatch console = AddConsoleCommands(app, fall);
    ProgramCommand program;
    AddProgramCommand(app, program);

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e, out, err);  // --help, --version
        if (const auto unknown = UnknownCommand(app, args))
            err << "tolvane2-cli: unknown command '" << *unknown << "'; see tolvane2-cli --help\n";
        else err << "tolvane2-cli: " << e.what() << "; see tolvane2-cli --help\n";
        return 2;
    }
    if (deviceOpt->count() > 0 && target.device.empty()) {
        err << "tolvane2-cli: --device: an empty path names no device; give the serial device, for example "
               "--device /dev/ttyUSB0\n";
        return 2;
    }

    Output o{out, err, json, quiet, errIsTerminal && !quiet};
    const auto k = KindOf(kind);
    if (show->parsed()) return CmdShow(file, k, o);
    if (toJson->parsed()) return CmdToJson(file, k, outFile, o);
    if (fromJson->parsed()) return CmdFromJson(file, outFile, o);
    if (diff->parsed()) return CmdDiff(file, file2, k, o);
    if (check->parsed()) return CmdCheck(file, k, o);
    if (merge->parsed()) return CmdMerge(file, file2, outFile, o);
    if (toCsv->parsed()) return CmdGammaToCsv(file, outFile, o);
    if (fromCsv->parsed()) return CmdGammaFromCsv(file, outFile, o);
    if (plot->parsed()) return CmdPlot(file, k, outFile, o);
    if (info->parsed()) return CmdInfo(target, o);
    if (panelRead->parsed()) return CmdPanelRead(target, panel, outFile, o);
    if (panelWrite->parsed()) return CmdPanelWrite(target, file, panel, write, o);
    if (modesRead->parsed()) return CmdModesRead(target, outFile, o);
    if (modesWrite->parsed()) return CmdModesWrite(target, file, write, o);
    if (scan->parsed()) return CmdScan(target, probeMs, o);
    if (ports->parsed()) return CmdPorts(target, o);
    if (auto rc = console(target, o, errIsTerminal)) return *rc;
    if (int rc = 0; RunProgramCommand(program, target, o, rc)) return rc;
    err << "tolvane2-cli: no command given; see tolvane2-cli --help\n";
    return 2;
}

}  // namespace cli
