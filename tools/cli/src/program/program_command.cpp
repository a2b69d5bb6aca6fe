// Options of the program command; the global --address and --device count as
// one address for every line and one more device.
#include "program/program_command.h"

#include "program/program_parent.h"
#include "program/program_worker.h"

namespace cli {

void AddProgramCommand(CLI::App& app, ProgramCommand& p) {
    p.app = &app;
    auto* sub = app.add_subcommand(
        "program",
        "Write a panel slot and/or the mode table to many boards at once: one worker per serial line, "
        "a report, exit 1 unless every board is ok");
    sub->fallthrough();
    ProgramArgs& a = p.args;
    sub->add_option("--panel", a.panelFile, "Panel file (.PNL or its JSON form) to write");
    sub->add_option("--slot", a.slot, "Panel slot 1..4 the panel file goes to")->check(CLI::Range(1, 4));
    sub->add_option("--modes", a.modesFile, "Mode file (.MOD or its JSON form) to write");
    sub->add_flag("--verify", a.verify, "Read back and compare byte for byte");
    sub->add_option("--backup-dir", a.backupDir, "Save what each board holds first, one file per port and address");
    sub->add_option("--report", a.report, "Report file: JSON Lines, one object per board");
    auto* list = sub->add_option("--addresses", a.addresses, "Device addresses on each line, e.g. 1,5,9 (not 255)");
    sub->add_flag("--scan", a.scan, "Write to every board that answers on each line")->excludes(list);
    sub->add_option("--job", a.jobFile, "Job file (JSON, see docs/program-job.md)");
    sub->add_option("DEVICE", a.devices, "Serial devices, one worker each (e.g. /dev/serial/by-id/*)");
    p.program = sub;
    p.worker = app.add_subcommand(kWorkerCommand, "")->group("");
    p.worker->add_option("SPEC", p.spec)->required();
}

bool RunProgramCommand(ProgramCommand& p, const BoardTarget& target, Output& o, int& rc) {
    if (p.worker->parsed()) {
        rc = RunProgramWorker(p.spec);
        return true;
    }
    if (!p.program->parsed()) return false;
    ProgramArgs args = p.args;
    if (p.app->get_option("--address")->count() > 0) {
        args.addressGiven = true;
        args.address = target.address;
    }
    if (!target.device.empty()) args.devices.insert(args.devices.begin(), target.device);
    rc = RunProgram(args, o);
    return true;
}

}  // namespace cli
