// The board commands as the command line offers them: info, panel and mode
// transfers, scan and ports.
#include <CLI/CLI.hpp>

#include <memory>

#include "board/board_commands.h"
#include "board/ports_by_path.h"
#include "command.h"

namespace cli {
namespace {

struct BoardArgs {
    std::string file, outFile;
    int panel = 0;
    int probeMs = 40;
    bool byPath = false;
    std::string serialDir;
    WriteOptions write;
};

// Panel and mode files are read by the readers of files.h and the JSON form,
// each bounded with its own limit and message.
constexpr std::uintmax_t kOwnBound = 0;

void AddWriteOptions(Command& c, WriteOptions& w) {
    c.app->add_flag("--verify", w.verify, "Read back and compare byte for byte");
    c.Backup("--backup", w.backup, "Save what the board holds first; nothing is written if that fails");
    c.app->add_flag("--no-reset", w.noReset, "Do not reset the board after the write");
    c.app
        ->add_option("--retries", w.retries,
                     "Whole tries more when the board gives no valid answer, 0..10 (default 1; 0: none)")
        ->check(CLI::Range(0, 10));
    c.app->add_flag("--force", w.force, "Write a file in which the checks find errors");
    c.Board(BoardUse::Answers).ChangesBoard();
}

}  // namespace

void RegisterBoardCommands(Registry& r) {
    auto a = std::make_shared<BoardArgs>();
    BoardArgs& x = *a;

    r.Add("info", "Version, current panel, panel and mode information of a board", [](Context& c) {
         return CmdInfo(c.target, c.o);
     }).Board(BoardUse::Answers);

    r.Group("panel", "Read or write a panel slot of the board");
    auto& panelRead = r.Add("panel read", "Read Panel 1..4 from the board",
                            [a](Context& c) { return CmdPanelRead(c.target, a->panel, a->outFile, c.o); });
    panelRead.app->add_option("SLOT", x.panel, "Panel number 1..4")->required()->check(CLI::Range(1, 4));
    panelRead.Output("-o,--output", x.outFile, "Panel file to write (without it: a summary on stdout)")
        .Board(BoardUse::Answers)
        .Example("panel read 1 -o OUT");

    auto& panelWrite = r.Add("panel write", "Write a panel file to Panel 1..4 of the board",
                             [a](Context& c) { return CmdPanelWrite(c.target, a->file, a->panel, a->write, c.o); });
    panelWrite.Input("FILE", x.file, "Panel file (.PNL or its JSON form)", kOwnBound);
    panelWrite.app->add_option("SLOT", x.panel, "Panel number 1..4")->required()->check(CLI::Range(1, 4));
    AddWriteOptions(panelWrite, x.write);
    panelWrite.Example("panel write PANEL 2 --backup BACKUP --verify");

    r.Group("modes", "Read or write the mode table of the board");
    r.Add("modes read", "Read the mode table from the board",
          [a](Context& c) { return CmdModesRead(c.target, a->outFile, c.o); })
        .Output("-o,--output", x.outFile, "Mode file to write (without it: a table on stdout)")
        .Board(BoardUse::Answers)
        .Example("modes read -o OUT");
    auto& modesWrite = r.Add("modes write", "Write a mode file to the board",
                             [a](Context& c) { return CmdModesWrite(c.target, a->file, a->write, c.o); });
    modesWrite.Input("FILE", x.file, "Mode file (.MOD or its JSON form)", kOwnBound);
    AddWriteOptions(modesWrite, x.write);
    modesWrite.Example("modes write MODES --backup BACKUP --verify");

    auto& scan = r.Add("scan",
                       "List the device addresses 0..254 that answer on an RS-485 line, with version and current "
                       "panel (exit 1 when none answers)",
                       [a](Context& c) { return CmdScan(c.target, a->probeMs, c.o); });
    scan.app->add_option("--timeout-ms", x.probeMs, "How long to wait for each address, 10..500 ms (default 40)")
        ->check(CLI::Range(10, 500));
    scan.Board(BoardUse::Broadcast);

    auto& ports =
        r.Add("ports", "How COM1..COM4 map to devices (and where each comes from), and the serial devices present",
              [a](Context& c) { return a->byPath ? CmdPortsByPath(a->serialDir, c.o) : CmdPorts(c.target, c.o); });
    auto* byPath = ports.app->add_flag(
        "--by-path", x.byPath,
        "The stable names of each serial device and a job file skeleton with one fixture position per device");
    ports.app
        ->add_option("--serial-dir", x.serialDir,
                     "The folder of the by-path and by-id links (default /dev/serial; Linux)")
        ->needs(byPath);
}

}  // namespace cli
