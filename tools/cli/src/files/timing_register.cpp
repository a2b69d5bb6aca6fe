// The EDID and timing commands as the command line offers them: edid decode
// and read, timing cvt/gtf/dmt, panel from-edid/from-timing, modes add and
// modes check --standards.
#include <CLI/CLI.hpp>

#include <memory>

#include "board/board_commands.h"
#include "command.h"
#include "files/timing_commands.h"
#include "tolvane/edid.h"

namespace cli {
namespace {

struct TimingArgs {
    std::string file, outFile, select = "0xA0,0x00";
    TimingRequest request;
    int timing = 0;
    bool force = false, list = false, standards = false;
    const TimingRequest& Source(const char* source) {
        request.source = source;
        return request;
    }
};

int CmdDmt(TimingArgs& a, Output& o) {
    if (a.list != a.request.words.empty()) {
        o.Error() << (a.list ? "--list takes no MODE" : "give a DMT ID, WxH@HZ or --list");
        return 1;
    }
    return a.list ? CmdDmtList(o) : CmdTiming(a.Source("dmt"), o);
}

// An EDID file: the base block and up to 255 extension blocks, as binary or
// as hex text (three characters a byte).
constexpr std::uintmax_t kMaxEdidFile = kEdidBlockSize * 256 * 4;
// Mode files are read by the readers of files.h with their own limit.
constexpr std::uintmax_t kOwnBound = 0;

void AddRb(Command& c, TimingRequest& r) {
    c.app->add_option("--rb", r.rb, "CVT blanking: 0 standard, 1 reduced v1, 2 reduced v2 (default 0)")
        ->check(CLI::Range(0, 2));
}
void AddInterlaced(Command& c, TimingRequest& r) {
    c.app->add_flag("--interlaced", r.interlaced, "An interlaced timing (HZ is then the field rate)");
}
// SOURCE ARGS...: "cvt W H HZ", "gtf W H HZ" or "dmt ID|WxH@HZ".
void AddSource(Command& c, TimingRequest& r) {
    c.app->add_option("SOURCE", r.source, "cvt, gtf or dmt")->required()->check(CLI::IsMember({"cvt", "gtf", "dmt"}));
    c.app->add_option("ARGS", r.words, "W H HZ for cvt and gtf, ID or WxH@HZ for dmt")->required();
    AddRb(c, r);
    AddInterlaced(c, r);
}

}  // namespace

void RegisterTimingCommands(Registry& r) {
    auto a = std::make_shared<TimingArgs>();
    TimingArgs& x = *a;

    r.Group("edid", "Decode an EDID file or read the panel's EDID through the board");
    r.Add("edid decode", "What an EDID holds: identification, size, range limits, detailed timings (exit 1 on errors)",
          [a](Context& c) { return CmdEdidDecode(a->file, c.o); })
        .Input("FILE", x.file, "EDID file (binary, or hex text as edid-decode prints it)", kMaxEdidFile)
        .Example("edid decode EDID");
    auto& read = r.Add("edid read", "Read the EDID through the board's I2C bus into a file",
                       [a](Context& c) { return CmdEdidRead(c.target, a->select, a->outFile, c.o); });
    read.Output("-o,--output", x.outFile, "EDID file to write (-: stdout, not a terminal)", true)
        .Board(BoardUse::Answers)
        .Example("edid read -o OUT");
    read.app->add_option("--select", x.select, "The I2C device's two select bytes SEL1,SEL2 (default 0xA0,0x00)");

    r.Group("timing", "The standard timings: CVT, GTF and the DMT table");
    auto& cvt = r.Add("timing cvt", "The CVT timing of W x H at HZ",
                      [a](Context& c) { return CmdTiming(a->Source("cvt"), c.o); });
    cvt.app->add_option("ARGS", x.request.words, "W H HZ")->required()->expected(3);
    AddRb(cvt, x.request);
    AddInterlaced(cvt, x.request);
    cvt.Example("timing cvt 1920 1080 60 --rb 1");
    auto& gtf = r.Add("timing gtf", "The GTF timing of W x H at HZ (default parameters)",
                      [a](Context& c) { return CmdTiming(a->Source("gtf"), c.o); });
    gtf.app->add_option("ARGS", x.request.words, "W H HZ")->required()->expected(3);
    gtf.Example("timing gtf 1024 768 60");
    auto& dmt = r.Add("timing dmt", "The DMT timing of an ID or of WxH@HZ; --list: the whole table",
                      [a](Context& c) { return CmdDmt(*a, c.o); });
    dmt.app->add_option("MODE", x.request.words, "DMT ID (0x10) or WxH@HZ (1024x768@60)")->expected(0, 1);
    dmt.app->add_flag("--list", x.list, "List every DMT entry");
    dmt.Example("timing dmt 1024x768@60");

    auto& fromEdid = r.Add("panel from-edid", "A panel file from a detailed timing of an EDID",
                           [a](Context& c) { return CmdPanelFromEdid(a->file, a->timing, a->force, a->outFile, c.o); });
    fromEdid.Input("EDID", x.file, "EDID file", kMaxEdidFile)
        .Output("-o,--output", x.outFile, "Panel file to write (.json: its JSON form; -: stdout)", true)
        .Example("panel from-edid EDID -o OUT");
    fromEdid.app
        ->add_option("--timing", x.timing,
                     "Which detailed timing, 1.. as edid decode numbers them "
                     "(default: the preferred one)")
        ->check(CLI::Range(1, 1000));
    fromEdid.app->add_flag("--force", x.force, "Import from an EDID with errors (a wrong checksum)");
    auto& fromTiming = r.Add("panel from-timing", "A panel file from a CVT, GTF or DMT timing",
                             [a](Context& c) { return CmdPanelFromTiming(a->request, a->outFile, c.o); });
    AddSource(fromTiming, x.request);
    fromTiming.Output("-o,--output", x.outFile, "Panel file to write (.json: its JSON form; -: stdout)", true)
        .Example("panel from-timing dmt 0x10 -o OUT");

    auto& add = r.Add("modes add", "Add a CVT, GTF or DMT mode to a mode file",
                      [a](Context& c) { return CmdModesAdd(a->file, a->request, a->outFile, c.o); });
    add.Input("FILE", x.file, "Mode file (.MOD or its JSON form); changed in place without -o", kOwnBound);
    AddSource(add, x.request);
    add.Output("-o,--output", x.outFile, "Write the new mode file here instead of changing FILE")
        .Example("modes add MODES cvt 1920 1080 60 --rb 1 -o OUT");
    auto& check = r.Add("modes check", "Name the standard modes each entry of a mode file takes",
                        [a](Context& c) { return CmdModesCheckStandards(a->file, c.o); });
    check.Input("FILE", x.file, "Mode file (.MOD or its JSON form)", kOwnBound)
        .Example("modes check --standards MODES");
    check.app->add_flag("--standards", x.standards, "Match the entries against the standard modes")->required();
}

}  // namespace cli
