// The command line of the console commands: their sub-commands, arguments,
// options and help, registered with the framework.
#include <CLI/CLI.hpp>

#include <memory>

#include "command.h"
#include "console/console_commands.h"
#include "console/memory_io.h"

namespace cli {
namespace {

using namespace console;

constexpr const char* kNumbers =
    "Numbers in decimal or as 0x followed by hex digits (418 or 0x1A2). Exit 0 done, 1 the board or a file "
    "failed, 2 wrong arguments or a refusal (nothing changed).";

// What the console commands were given, by name.
struct ConsoleArgs {
    std::string addr, reg, count, port, value, sel, file, text, from, to, size, outFile, index, state, v1, v2, v3,
        listen;
    std::vector<std::string> values, words;
    MemoryWrite write;
};

using Args = std::shared_ptr<ConsoleArgs>;

// A console command: it waits for the board's answer unless it says otherwise.
Command& AddTo(Registry& r, const std::string& path, const std::string& help, Handler run) {
    auto& c = r.Add(path, help, std::move(run));
    c.app->footer(std::string(kNumbers) + " " + c.app->get_footer());
    return c.Board(BoardUse::Answers);
}

void RegisterRegistersAndI2c(Registry& r, const Args& a) {
    ConsoleArgs& x = *a;
    auto add = [&r](const std::string& path, const std::string& help, Handler run) -> Command& {
        return AddTo(r, path, help, std::move(run));
    };
    r.Group("reg", "Read or write the controller's 16-bit registers");
    auto* s = add("reg read", "Read COUNT registers (default 1) from REG on: hex and decimal", [a](Context& c) {
                  return CmdRegRead(c.target, a->reg, a->count, c.o);
              }).app;
    s->add_option("REG", x.reg, "First register 0..0xFFFF")->required();
    s->add_option("COUNT", x.count, "Number of registers");
    s = add("reg write", "Write VALUE to REG (more values: the registers after it); the board's echo is checked",
            [a](Context& c) { return CmdRegWrite(c.target, a->reg, a->values, c.o); })
            .Example("reg write 0x100 0x1234")
            .ChangesBoard()
            .app;
    s->add_option("REG", x.reg, "Register 0..0xFFFF")->required();
    s->add_option("VALUE", x.values, "Values 0..0xFFFF")->required();

    r.Group("port", "Read or write the controller's 8-bit I/O ports");
    s = add("port read", "Read PORT", [a](Context& c) { return CmdPortRead(c.target, a->port, c.o); }).app;
    s->add_option("PORT", x.port, "Port 0..0xFF")->required();
    s = add("port write", "Write VALUE to PORT; the board's echo is checked",
            [a](Context& c) { return CmdPortWrite(c.target, a->port, a->value, c.o); })
            .Example("port write 7 0x5A")
            .ChangesBoard()
            .app;
    s->add_option("PORT", x.port, "Port 0..0xFF")->required();
    s->add_option("VALUE", x.value, "Value 0..0xFF")->required();

    // I2C.
    r.Group("i2c", "Read, write or dump a device on the board's I2C buses (SEL1 SEL2 choose the device)");
    s = add("i2c read",
            "i2c read SEL1 SEL2 SUB [COUNT]: COUNT bytes (default 1, up to 256) from subaddress SUB on, wrapping at "
            "256",
            [a](Context& c) { return CmdI2cRead(c.target, a->words, c.o); })
            .app;
    s->add_option("ARGS", x.words, "SEL1 SEL2 SUB [COUNT]")->required();
    s = add("i2c write", "i2c write SEL1 SEL2 SUB BYTE...: one byte (echo checked) or a block of up to 255 bytes",
            [a](Context& c) { return CmdI2cWrite(c.target, a->words, c.o); })
            .Example("i2c write 0xA0 0 0x10 0x55")
            .ChangesBoard()
            .app;
    s->add_option("ARGS", x.words, "SEL1 SEL2 SUB BYTE...")->required();
    s = add("i2c dump", "i2c dump SEL1 SEL2: the device's subaddresses as a hex table", [a](Context& c) {
            return CmdI2cDump(c.target, a->words, a->from, a->to, c.o);
        }).app;
    s->add_option("ARGS", x.words, "SEL1 SEL2")->required();
    s->add_option("--from", x.from, "First subaddress (default 0)");
    s->add_option("--to", x.to, "Last subaddress (default 0xFF)");
}

void RegisterMemory(Registry& r, const Args& a) {
    ConsoleArgs& x = *a;
    auto add = [&r](const std::string& path, const std::string& help, Handler run) -> Command& {
        return AddTo(r, path, help, std::move(run));
    };
    auto addSafety = [&x](Command& c, bool force) {
        c.app->add_flag("-y,--yes", x.write.consent.yes, "Go on without asking (needed when not on a terminal)");
        c.Backup("--backup", x.write.backup,
                 "Save the whole memory to this file first; nothing is written if that fails");
        c.app->add_flag("--verify", x.write.verify, "Read the whole range back afterwards and compare");
        if (force)
            c.app->add_flag("--force", x.write.force,
                            "Allow writing over the panel, gamma and mode areas (" +
                                Span(VANTREL_MODE_TABLE_BASE, VANTREL_RECORD_AREAS_END - VANTREL_MODE_TABLE_BASE) +
                                ")");
        c.ChangesBoard();
    };
    for (Memory m : {Memory::Flash, Memory::NvRam}) {
        const bool flash = m == Memory::Flash;
        const std::string g = flash ? "flash" : "nvram";
        r.Group(g, flash ? "Read, write, dump, restore the board's 64 KiB of flash (prints SHA-256)"
                         : "Read, write, dump, restore the board's NVRAM (prints SHA-256)");
        auto& read = add(g + " read", "Read COUNT bytes from ADDR on (into -o FILE, else a hex table)",
                         [a, m](Context& c) { return CmdMemRead(c.target, m, a->addr, a->count, a->outFile, c.o); });
        read.app->add_option("ADDR", x.addr, "Address 0..0xFFFF")->required();
        read.app->add_option("COUNT", x.count, "Bytes")->required();
        read.Output("-o,--output", x.outFile, "File to write (-: stdout)").Example(g + " read 0 32 -o OUT");

        auto& write = add(g + " write", "Write FILE at ADDR, 16 bytes a frame; shows the plan and asks first",
                          [a, m](Context& c) {
                              MemoryWrite w = a->write;
                              w.consent.interactive = c.interactive;
                              return CmdMemWrite(c.target, m, a->addr, a->file, w, c.o);
                          });
        write.app->add_option("ADDR", x.addr, "Address 0..0xFFFF")->required();
        write.Input("FILE", x.file, "Bytes to write", kFlashSize);
        addSafety(write, flash);
        write.Example(g + " write 0x100 BYTES --yes --backup BACKUP --verify");

        auto& dump = add(g + " dump",
                         flash ? "Save the whole 64 KiB of flash to -o FILE"
                               : "Save the whole NVRAM to -o FILE (its size from --size, else from the board)",
                         [a, m](Context& c) { return CmdMemDump(c.target, m, a->size, a->outFile, c.o); });
        dump.Output("-o,--output", x.outFile, "File to write (-: stdout)", true).Example(g + " dump -o OUT");
        if (!flash)
            dump.app->add_option("--size", x.size,
                                 "Bytes to save, at most the size the board gives (needed when it gives none)");

        auto& restore = add(g + " restore",
                            "Write FILE (a dump) back, only the 16-byte chunks that differ from what the board holds, "
                            "and read them back; a board that already holds it gets no write",
                            [a, m](Context& c) {
                                MemoryWrite w = a->write;
                                w.consent.interactive = c.interactive;
                                return CmdMemRestore(c.target, m, a->file, w, c.o);
                            });
        restore.Input("FILE", x.file, "Dump to restore", kFlashSize);
        addSafety(restore, flash);
        restore.Example(g + " restore " + (flash ? "DUMP --yes --force" : "NVDUMP --yes") + " --backup BACKUP");
        if (flash) {
            auto& erase =
                add("flash erase", "The board has no erase command: shows what would be erased, sends nothing, exits 1",
                    [a](Context& c) {
                        MemoryWrite w = a->write;
                        w.consent.interactive = c.interactive;
                        return CmdFlashErase(c.target, a->value, w, c.o);
                    });
            erase.app->add_option("VALUE", x.value, "Fill value 0..0xFF")->required();
            // Nothing is ever erased: no backup or verify, only the question.
            erase.app->add_flag("-y,--yes", x.write.consent.yes,
                                "Go on without asking (needed when not on a terminal)");
        }
    }
}

void RegisterControls(Registry& r, const Args& a) {
    ConsoleArgs& x = *a;
    auto add = [&r](const std::string& path, const std::string& help, Handler run) -> Command& {
        return AddTo(r, path, help, std::move(run));
    };
    r.Group("adjust", "Read or set the board's adjusters");
    CLI::App* s =
        add("adjust get",
            "The three values the board gives for adjuster INDEX, each 0..65535 (the emulated board: value, minimum, "
            "maximum)",
            [a](Context& c) { return CmdAdjustGet(c.target, a->index, c.o); })
            .app;
    s->add_option("INDEX", x.index, "Adjuster 0..255")->required();
    s = add("adjust set", "Set adjuster INDEX to VALUE 0..65535 and read back what the board holds",
            [a](Context& c) { return CmdAdjustSet(c.target, a->index, a->value, c.o); })
            .Example("adjust set 0 50")
            .ChangesBoard()
            .app;
    s->add_option("INDEX", x.index, "Adjuster 0..255")->required();
    s->add_option("VALUE", x.value, "Value 0..65535")->required();

    r.Group("colour", "Read or set the colour the adjusters act on");
    add("colour get",
        "The adjustment colour. A failed read also gives 0, so 0 is uncertain: --json says \"uncertain\": true",
        [](Context& c) { return CmdColourGet(c.target, c.o); });
    s = add("colour set", "Select adjustment colour 0..3",
            [a](Context& c) { return CmdColourSet(c.target, a->value, c.o); })
            .Example("colour set 1")
            .ChangesBoard()
            .app;
    s->add_option("COLOUR", x.value, "Colour 0..3")->required();

    r.Group("switch", "Read or set the board's switches");
    s = add("switch get", "The state of switch INDEX", [a](Context& c) {
            return CmdSwitchGet(c.target, a->index, c.o);
        }).app;
    s->add_option("INDEX", x.index, "Switch 0..255")->required();
    s = add("switch set", "Switch INDEX on or off",
            [a](Context& c) { return CmdSwitchSet(c.target, a->index, a->state, c.o); })
            .Example("switch set 1 ON")
            .ChangesBoard()
            .app;
    s->add_option("INDEX", x.index, "Switch 0..255")->required();
    s->add_option("STATE", x.state, "on or off")->required();

    r.Group("osd", "Show or hide text on the screen");
    s = add("osd show", "Show TEXT: at most 25 printable ASCII characters, checked before anything is sent",
            [a](Context& c) { return CmdOsdShow(c.target, a->text, a->v1, a->v2, a->v3, c.o); })
            .Example("osd show Hello")
            .ChangesBoard()
            .app;
    s->add_option("TEXT", x.text, "Text")->required();
    s->add_option("--value1", x.v1, "First value passed to the board, 0..255 (the emulated board: column)");
    s->add_option("--value2", x.v2, "Second value, 0..255 (the emulated board: row)");
    s->add_option("--value3", x.v3, "Third value, 0..255 (the emulated board: attribute)");
    add("osd hide", "Remove the on-screen text", [](Context& c) { return CmdOsdHide(c.target, c.o); })
        .Example("osd hide")
        .ChangesBoard();
}

void RegisterActions(Registry& r, const Args& a) {
    ConsoleArgs& x = *a;
    auto add = [&r](const std::string& path, const std::string& help, Handler run) -> Command& {
        return AddTo(r, path, help, std::move(run));
    };
    CLI::App* s = nullptr;
    s = add("action", "Run board action N (waits up to 2 s for the board)",
            [a](Context& c) { return CmdAction(c.target, a->value, c.o); })
            .Example("action 1")
            .ChangesBoard()
            .app;
    s->add_option("N", x.value, "Action 0..255")->required();
    s = add("debug", "Set the board's debug flags", [a](Context& c) { return CmdDebug(c.target, a->value, c.o); })
            .Example("debug 3")
            .ChangesBoard()
            .app;
    s->add_option("FLAGS", x.value, "Flags 0..255")->required();
    add("reset", "Reset the board (no answer is awaited, so --address 255 resets every board on the line)",
        [](Context& c) { return CmdReset(c.target, c.o); })
        .Board(BoardUse::Broadcast)
        .Example("reset")
        .ChangesBoard();
    s = add("raw",
            "Send BYTE... to the line as they are, outside the command protocol, and print the bytes that arrive "
            "outside a frame while listening",
            [a](Context& c) { return CmdRaw(c.target, a->words, a->listen, c.o); })
            .Board(BoardUse::Broadcast)
            .Example("raw 0x55 --listen 20")
            .ChangesBoard()
            .app;
    s->add_option("BYTE", x.words, "Bytes 0..0xFF")->required();
    s->add_option("--listen", x.listen, "How long to collect what comes back, in ms (default 200)");
}

}  // namespace

void RegisterConsoleCommands(Registry& r) {
    const auto args = std::make_shared<ConsoleArgs>();
    RegisterRegistersAndI2c(r, args);
    RegisterMemory(r, args);
    RegisterControls(r, args);
    RegisterActions(r, args);
}

}  // namespace cli
