// One board of a worker's line: version, backup, write, verify and reset,
// told to the parent as JSON lines (see program_worker.h).
#pragma once

#include <string>

#include "output.h"
#include "program/program_job.h"

namespace cli {

// One JSON line to the parent. When the parent is gone the line goes
// nowhere: the boards are still finished.
void EmitToParent(const Json& event);
// A stop came: the parent's stop line, Ctrl-C or SIGTERM.
bool StopRequested();

class BoardWriter {
public:
    BoardWriter(const Json& spec, const ProgramImages& images);
    // Writes the board at `address`; its result event says how far it got.
    bool Program(int address);

private:
    struct Run;
    bool Steps(Run& run, Json& r, std::string& error);
    bool Backup(Run& run, std::string& error);
    bool BackupPanel(Run& run, const PanelImage& image, GammaTable& gamma, std::string& error);
    bool Verify(Run& run, Json& r, std::string& error);

    ProgramImages images_;
    std::string device_;
    bool verify_ = false;
    std::string backupDir_;
};

}  // namespace cli
