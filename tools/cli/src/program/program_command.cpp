// The program command and its hidden worker as the command line offers them;
// the global --address and --device count as one address for every line and
// one more device.
#include <CLI/CLI.hpp>

#include <memory>

#include "command.h"
#include "program/program_job.h"
#include "program/program_parent.h"
#include "program/program_worker.h"

namespace cli {

void RegisterProgramCommands(Registry& r) {
    struct Args {
        ProgramArgs program;
        std::string spec;
        CLI::App* root = nullptr;
        CLI::Option* addresses = nullptr;
    };
    auto a = std::make_shared<Args>();
    a->root = &r.Root();
    ProgramArgs& p = a->program;

    auto& c = r.Add("program",
                    "Write a panel slot and/or the mode table to many boards at once: one worker per serial line, a "
                    "report, exit 1 unless every board is ok",
                    [a](Context& c) {
                        ProgramArgs args = a->program;
                        if (a->root->get_option("--address")->count() > 0) {
                            args.addressGiven = true;
                            args.address = c.target.address;
                        }
                        args.addressesGiven = a->addresses->count() > 0;
                        if (!c.target.device.empty()) args.devices.insert(args.devices.begin(), c.target.device);
                        return RunProgram(args, c.o);
                    });
    c.Input("--panel", p.panelFile, "Panel file (.PNL or its JSON form) to write", 0, false);
    c.app->add_option("--slot", p.slot, "Panel slot 1..4 the panel file goes to")->check(CLI::Range(1, 4));
    c.Input("--modes", p.modesFile, "Mode file (.MOD or its JSON form) to write", 0, false);
    c.app->add_flag("--verify", p.verify, "Read back and compare byte for byte");
    c.app->add_flag("--force", p.force, "Write files in which the checks find errors");
    c.BackupDir("--backup-dir", p.backupDir, "Save what each board holds first, one file per port and address");
    c.Report("--report", p.report, "Report file: JSON Lines, one object per board");
    a->addresses =
        c.app->add_option("--addresses", p.addresses, "Device addresses on each line, e.g. 1,5,9 or 0x05 (not 255)");
    c.app->add_flag("--scan", p.scan, "Write to every board that answers on each line")->excludes(a->addresses);
    c.Job("--job", p.jobFile, "Job file (JSON, see docs/program-job.md)");
    // Checked with the job's files (an input: never the new report), like the
    // paths a job file names: the example of the command stays one run.
    c.app->add_option("--retry-failed", p.retryFailed,
                      "Report of an earlier run of this job: write again only the boards it names as failed or "
                      "interrupted");
    c.app->add_option("DEVICE", p.devices, "Serial devices, one worker each (e.g. /dev/serial/by-id/*)");
    c.Devices(p.devices).Board(BoardUse::Answers).ChangesBoard();
    c.Example("program --panel PANEL --slot 2 --modes MODES --verify --backup-dir BACKUPDIR --report REPORT DEVICE");

    auto& worker = r.Add(kWorkerCommand, "", [a](Context&) { return RunProgramWorker(a->spec); });
    worker.app->group("");
    worker.app->add_option("SPEC", a->spec)->required();
}

}  // namespace cli
