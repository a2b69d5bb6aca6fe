// The command line of the console commands: their sub-commands, arguments,
// options and help, and the dispatch to the command that was given.
#include <CLI/CLI.hpp>

#include <memory>

#include "console/console.h"
#include "platform/terminal.h"
#include "console/console_commands.h"

namespace cli {
namespace {

using namespace console;

constexpr const char* kFooter =
    "Numbers in decimal or as 0x followed by hex digits (418 or 0x1A2). Exit 0 done, 1 the board or a file "
    "failed, 2 wrong arguments or a refusal (nothing changed). Global options (--json, --quiet, --port, --device, "
    "--address) may come before or after the command; see tolvane2-cli --help.";

struct Args {
    std::string a, b, c, d, from, to, size, outFile;
    std::vector<std::string> list;
    MemoryWrite write;
};

struct Sub {
    CLI::App* app;
    std::function<int(const BoardTarget&, Output&)> run;
};

}  // namespace

ConsoleDispatch AddConsoleCommands(CLI::App& app, const std::function<CLI::App*(CLI::App*)>& fall) {
    auto args = std::make_shared<Args>();
    auto subs = std::make_shared<std::vector<Sub>>();
    Args& x = *args;
    auto group = [&](const char* name, const char* help) {
        auto* g = fall(app.add_subcommand(name, help));
        g->require_subcommand(1);
        return g;
    };
    auto add = [&](CLI::App* parent, const char* name, const std::string& help,
                   std::function<int(const BoardTarget&, Output&)> run) {
        auto* s = fall(parent->add_subcommand(name, help));
        s->footer(kFooter);
        subs->push_back({s, std::move(run)});
        return s;
    };

    // Registers and ports.
    auto* reg = group("reg", "Read or write the controller's 16-bit registers");
    auto* s = add(reg, "read", "Read COUNT registers (default 1) from REG on: hex and decimal",
                  [&x](const BoardTarget& t, Output& o) { return CmdRegRead(t, x.a, x.b, o); });
    s->add_option("REG", x.a, "First register 0..0xFFFF")->required();
    s->add_option("COUNT", x.b, "Number of registers");
    s = add(reg, "write", "Write VALUE to REG (more values: the registers after it); the board's echo is checked",
            [&x](const BoardTarget& t, Output& o) { return CmdRegWrite(t, x.a, x.list, o); });
    s->add_option("REG", x.a, "Register 0..0xFFFF")->required();
    s->add_option("VALUE", x.list, "Values 0..0xFFFF")->required();

    auto* port = group("port", "Read or write the controller's 8-bit I/O ports");
    s = add(port, "read", "Read PORT", [&x](const BoardTarget& t, Output& o) { return CmdPortRead(t, x.a, o); });
    s->add_option("PORT", x.a, "Port 0..0xFF")->required();
    s = add(port, "write", "Write VALUE to PORT; the board's echo is checked",
            [&x](const BoardTarget& t, Output& o) { return CmdPortWrite(t, x.a, x.b, o); });
    s->add_option("PORT", x.a, "Port 0..0xFF")->required();
    s->add_option("VALUE", x.b, "Value 0..0xFF")->required();

    // I2C.
    auto* i2c = group("i2c", "Read, write or dump a device on the board's I2C buses (SEL1 SEL2 choose the device)");
    s = add(i2c, "read",
            "i2c read SEL1 SEL2 SUB [COUNT]: COUNT bytes (default 1, up to 256) from subaddress SUB on, "
            "wrapping at 256",
            [&x](const BoardTarget& t, Output& o) { return CmdI2cRead(t, x.list, o); });
    s->add_option("ARGS", x.list, "SEL1 SEL2 SUB [COUNT]")->required();
    s = add(i2c, "write", "i2c write SEL1 SEL2 SUB BYTE...: one byte (echo checked) or a block of up to 255 bytes",
            [&x](const BoardTarget& t, Output& o) { return CmdI2cWrite(t, x.list, o); });
    s->add_option("ARGS", x.list, "SEL1 SEL2 SUB BYTE...")->required();
    s = add(i2c, "dump", "i2c dump SEL1 SEL2: the device's subaddresses as a hex table",
            [&x](const BoardTarget& t, Output& o) { return CmdI2cDump(t, x.list, x.from, x.to, o); });
    s->add_option("ARGS", x.list, "SEL1 SEL2")->required();
    s->add_option("--from", x.from, "First subaddress (default 0)");
    s->add_option("--to", x.to, "Last subaddress (default 0xFF)");

    // Flash and NVRAM.
    auto addSafety = [&x](CLI::App* c, bool force) {
        c->add_flag("-y,--yes", x.write.consent.yes, "Go on without asking (needed when not on a terminal)");
        c->add_option("--backup", x.write.backup,
                      "Save the whole memory to this file first; nothing is written if that fails");
        c->add_flag("--verify", x.write.verify, "Read the whole range back afterwards and compare");
        if (force)
            c->add_flag("--force", x.write.force,
                        "Allow writing over the panel, gamma and mode areas (0xF400..0xFBFF)");
    };
    for (Memory m : {Memory::Flash, Memory::NvRam}) {
        const bool flash = m == Memory::Flash;
        auto* g = group(flash ? "flash" : "nvram",
                        flash ? "Read, write, dump, restore the board's 64 KiB of flash (prints SHA-256)"
                              : "Read, write, dump, restore the board's NVRAM (prints SHA-256)");
        s = add(g, "read", "Read COUNT bytes from ADDR on (into -o FILE, else a hex table)",
                [&x, m](const BoardTarget& t, Output& o) { return CmdMemRead(t, m, x.a, x.b, x.outFile, o); });
        s->add_option("ADDR", x.a, "Address 0..0xFFFF")->required();
        s->add_option("COUNT", x.b, "Bytes")->required();
        s->add_option("-o,--output", x.outFile, "File to write");
        s = add(g, "write", "Write FILE at ADDR, 16 bytes a frame; shows the plan and asks first",
                [&x, m](const BoardTarget& t, Output& o) { return CmdMemWrite(t, m, x.a, x.c, x.write, o); });
        s->add_option("ADDR", x.a, "Address 0..0xFFFF")->required();
        s->add_option("FILE", x.c, "Bytes to write")->required();
        addSafety(s, flash);
        s = add(g, "dump",
                flash ? "Save the whole 64 KiB of flash to -o FILE"
                      : "Save the whole NVRAM to -o FILE (its size from --size, else from the board)",
                [&x, m](const BoardTarget& t, Output& o) { return CmdMemDump(t, m, x.size, x.outFile, o); });
        s->add_option("-o,--output", x.outFile, "File to write")->required();
        if (!flash) s->add_option("--size", x.size, "NVRAM size in bytes (when the board does not give it)");
        s = add(g, "restore",
                "Write FILE (a dump) back, only the 16-byte chunks that differ from what the board holds, and read "
                "them back; a board that already holds it gets no write",
                [&x, m](const BoardTarget& t, Output& o) { return CmdMemRestore(t, m, x.c, x.write, o); });
        s->add_option("FILE", x.c, "Dump to restore")->required();
        addSafety(s, flash);
        if (flash) {
            s = add(g, "erase", "The board has no erase command: shows what would be erased, sends nothing, exits 1",
                    [&x](const BoardTarget& t, Output& o) { return CmdFlashErase(t, x.a, x.write, o); });
            s->add_option("VALUE", x.a, "Fill value 0..0xFF")->required();
            addSafety(s, false);
        }
    }

    // Adjusters, colour, switches, on-screen text.
    auto* adjust = group("adjust", "Read or set the board's adjusters");
    s = add(adjust, "get",
            "The three values the board gives for adjuster INDEX, each 0..65535 (the emulated board: "
            "value, minimum, maximum)",
            [&x](const BoardTarget& t, Output& o) { return CmdAdjustGet(t, x.a, o); });
    s->add_option("INDEX", x.a, "Adjuster 0..255")->required();
    s = add(adjust, "set", "Set adjuster INDEX to VALUE 0..65535 and read back what the board holds",
            [&x](const BoardTarget& t, Output& o) { return CmdAdjustSet(t, x.a, x.b, o); });
    s->add_option("INDEX", x.a, "Adjuster 0..255")->required();
    s->add_option("VALUE", x.b, "Value 0..65535")->required();

    auto* colour = group("colour", "Read or set the colour the adjusters act on");
    add(colour, "get",
        "The adjustment colour. A failed read also gives 0, so 0 is uncertain: --json says \"uncertain\": true",
        [](const BoardTarget& t, Output& o) { return CmdColourGet(t, o); });
    s = add(colour, "set", "Select adjustment colour 0..3",
            [&x](const BoardTarget& t, Output& o) { return CmdColourSet(t, x.a, o); });
    s->add_option("COLOUR", x.a, "Colour 0..3")->required();

    auto* sw = group("switch", "Read or set the board's switches");
    s = add(sw, "get", "The state of switch INDEX",
            [&x](const BoardTarget& t, Output& o) { return CmdSwitchGet(t, x.a, o); });
    s->add_option("INDEX", x.a, "Switch 0..255")->required();
    s = add(sw, "set", "Switch INDEX on or off",
            [&x](const BoardTarget& t, Output& o) { return CmdSwitchSet(t, x.a, x.b, o); });
    s->add_option("INDEX", x.a, "Switch 0..255")->required();
    s->add_option("STATE", x.b, "on or off")->required();

    auto* osd = group("osd", "Show or hide text on the screen");
    s = add(osd, "show", "Show TEXT: at most 25 printable ASCII characters, checked before anything is sent",
            [&x](const BoardTarget& t, Output& o) { return CmdOsdShow(t, x.c, x.a, x.b, x.d, o); });
    s->add_option("TEXT", x.c, "Text")->required();
    s->add_option("--value1", x.a, "First value passed to the board, 0..255 (the emulated board: column)");
    s->add_option("--value2", x.b, "Second value, 0..255 (the emulated board: row)");
    s->add_option("--value3", x.d, "Third value, 0..255 (the emulated board: attribute)");
    add(osd, "hide", "Remove the on-screen text", [](const BoardTarget& t, Output& o) { return CmdOsdHide(t, o); });

    // Actions, debug flags, reset.
    s = add(&app, "action", "Run board action N (waits up to 2 s for the board)",
            [&x](const BoardTarget& t, Output& o) { return CmdAction(t, x.a, o); });
    s->add_option("N", x.a, "Action 0..255")->required();
    s = add(&app, "debug", "Set the board's debug flags",
            [&x](const BoardTarget& t, Output& o) { return CmdDebug(t, x.a, o); });
    s->add_option("FLAGS", x.a, "Flags 0..255")->required();
    add(&app, "reset", "Reset the board (no answer is awaited, so --address 255 resets every board on the line)",
        [](const BoardTarget& t, Output& o) { return CmdReset(t, o); });
    s = add(&app, "raw",
            "Send BYTE... to the line as they are, outside the command protocol, and print the bytes that arrive "
            "outside a frame while listening",
            [&x](const BoardTarget& t, Output& o) { return CmdRaw(t, x.list, x.a, o); });
    s->add_option("BYTE", x.list, "Bytes 0..0xFF")->required();
    s->add_option("--listen", x.a, "How long to collect what comes back, in ms (default 200)");

    return [args, subs](const BoardTarget& t, Output& o, bool errIsTerminal) -> std::optional<int> {
        args->write.consent.interactive = errIsTerminal && platform::StdinIsTerminal();
        for (const Sub& sub : *subs)
            if (sub.app->parsed()) return sub.run(t, o);
        return std::nullopt;
    };
}

}  // namespace cli
