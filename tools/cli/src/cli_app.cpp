#include "cli_app.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <optional>

#include "board/board_commands.h"
#include "board/link_session.h"
#include "command.h"
#include "platform/terminal.h"
#include "text_out.h"
#include "version.h"

namespace cli {
namespace {

// The command word that names no command, when that is why parsing failed:
// the first word that is neither an option nor an option's value, and for
// groups ("panel", "flash") the word after it.
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

// With --json every run ends in JSON on standard output: a command that
// printed none gets {"ok": ..., "command": ..., "exitCode": ..., "error": ...}.
int Finish(Output& o, const std::string& command, int code) {
    if (!o.json || o.JsonWritten()) return code;
    Json j;
    j["ok"] = code == 0;
    j["command"] = command;
    j["exitCode"] = code;
    j["error"] = o.Errors().empty() ? Json(nullptr) : Json(o.Errors().front());
    if (o.Errors().size() > 1) j["errors"] = o.Errors();
    o.WriteJson(j);
    return code;
}

bool Has(const std::vector<std::string>& args, const char* word) {
    for (const auto& a : args)
        if (a == word) return true;
    return false;
}

}  // namespace

void RefuseBroadcastMessage(const std::string& command, Output& o) {
    o.Error() << "device address 255 is the broadcast address: every board on the line carries out a broadcast "
                 "frame but no board answers a broadcast frame, so "
              << command
              << " cannot get the answers it waits for (a write would stop after its first chunk and leave every "
                 "board half-written). Find the boards with 'tolvane2-cli scan', then give each board's own address "
                 "with --address A, one command per address; nothing was sent";
}

void AddGlobalOptions(CLI::App& app, GlobalOptions& g) {
    app.description(
        "tolvane2-cli: panel files, mode tables and gamma tables of the Vantrel-2 board, on disk and on "
        "the board");
    app.set_version_flag("--version", std::string("tolvane2-cli ") + kToolVersion);
    app.require_subcommand(1);
    app.add_flag("--json", g.json, "Print data as JSON; a failure too: one object with \"ok\": false");
    app.add_flag("-q,--quiet", g.quiet, "Only errors on standard error: no notes, plans or progress");
    auto* portOpt = app.add_option("--port", g.target.port,
                                   "Serial port COM1..COM4 of the link library (1..4); port n is the device in "
                                   "VANTREL_COMn")
                        ->check(CLI::Range(1, 4));
    g.device =
        app.add_option("--device", g.target.device, "Serial device to use as COM1 (sets VANTREL_COM1 for this run)")
            ->excludes(portOpt);
    app.add_option("--address", g.target.address, "Device address of the board 0..255 (255: broadcast)")
        ->check(CLI::Range(0, 255));
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    CLI::App app{"", "tolvane2-cli"};
    GlobalOptions g;
    AddGlobalOptions(app, g);
    const BoardTarget& target = g.target;
    Registry registry(app);
    RegisterAll(registry);

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e, out, err);  // --help, --version
        Output o(out, err, Has(args, "--json"), false, false);
        if (const auto unknown = UnknownCommand(app, args))
            o.Error() << "unknown command '" << *unknown << "'; see tolvane2-cli --help";
        else o.Error() << e.what() << "; see tolvane2-cli --help";
        return Finish(o, "", 2);
    }
    CountingBuffer counted(out.rdbuf());
    std::ostream data(&counted);
    Output o(data, err, g.json, g.quiet, errIsTerminal);
    o.CountDataIn(&counted.count);
    const Command* command = registry.Parsed();
    if (command == nullptr) {
        o.Error() << "no command given; see tolvane2-cli --help";
        return Finish(o, "", 2);
    }
    if (g.device->count() > 0 && target.device.empty()) {
        o.Error() << "--device: an empty path names no device; give the serial device, for example --device "
                     "/dev/ttyUSB0";
        return Finish(o, command->Path(), 2);
    }
    if (command->Board() == BoardUse::Answers && target.address == 255) {
        RefuseBroadcastMessage(command->Path(), o);
        return Finish(o, command->Path(), 2);
    }
    if (const int refused = CheckDeclaredFiles(*command, target, o)) return Finish(o, command->Path(), refused);
    const std::vector<std::string> devices = command->DevicePaths();
    Context context{target, o, errIsTerminal && platform::StdinIsTerminal(), devices};
    int code = 1;
    try {
        code = command->Run(context);
    } catch (const std::exception& e) {
        o.Error() << "stopped by an unexpected error: " << e.what();
        code = 1;
    }
    return Finish(o, command->Path(), code);
}

}  // namespace cli
