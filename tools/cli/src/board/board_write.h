// What every write to the board shares: the refusals made before anything is
// sent (the broadcast address, a backup path that names the file to be
// written, a file with check errors), the whole write tried again after a
// try without a valid answer, the message that a slot or table was left
// incomplete with the command that repairs it, and the JSON result.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "board/link_session.h"
#include "files/json_form.h"
#include "tolvane/panel_checks.h"

namespace cli {

// The command line that runs `words` (the command and its arguments) on the
// board of `t` again: --device (absolute) or --port, --address, each word
// quoted for the system's shell.
std::string RepairCommand(const BoardTarget& t, const std::vector<std::string>& words);

// Prints the findings of the checks (warnings unless quiet) and tells whether
// the write may go on: not when there is an error and no --force.
bool AcceptFindings(const std::string& path, const std::vector<CheckFinding>& findings, bool force, Output& o);

// One block of a write, sent by one block export of the library.
struct WriteBlock {
    std::string name;  // "panel image", "gamma table", "mode table"
    uint32_t flashAddress = 0;
    unsigned size = 0;
    std::function<int()> send;  // the library call: 0, -1 or -2
    unsigned written = 0;       // bytes the board confirmed in the latest try
};

// A write to the board from the first try to its result.
struct WriteRun {
    std::string command;         // "panel write", "modes write"
    std::string subject;         // "Panel 4", "the mode table"
    std::string file;            // the file written
    int panel = 0;               // 1..4 for a panel write
    bool fileHasErrors = false;  // written with --force
    std::string backupFile;      // the backup taken, when one was
    bool backupHasErrors = false;
    std::vector<WriteBlock> blocks;
    int tries = 0;
    int result = 0;  // the library's result of the latest try
    std::optional<std::vector<ByteDifference>> verify;
    bool reset = false;
    std::string repairCommand;  // set when the board was left differing from the file
};

// Sends the blocks in order. A try that ends without a valid answer (-1) is
// run again whole, up to w.retries more times, each announced on stderr after
// a pause that lets a late answer pass. Returns 0, or the failing result.
int SendWithRetries(const BoardTarget& t, const WriteOptions& w, WriteRun& run, Output& o);

// After a failed try or a verify that differs: says the slot or table is now
// incomplete (or differs) and prints the command that puts the backup back or
// writes the file again. Returns 1.
int ReportBoardLeftWrong(const BoardTarget& t, const WriteOptions& w, WriteRun& run, Output& o);

// What differs between the writes of the pipeline below.
struct WriteSteps {
    // Reads what the board holds and saves it to the backup file: true when
    // saved; false with an empty `error` when the board could not be read,
    // with the reason in `error` when the file could not be written.
    std::function<bool(std::string& error, bool& hasErrors)> backup;
    // Reads the blocks back: their differing bytes, or nullopt when the read failed.
    std::function<std::optional<std::vector<ByteDifference>>()> readBack;
    std::string unreadable;  // "the slot could not be read back"
    std::string done;        // "Panel 2 written (64 bytes"
};

// The board-write pipeline, after the refusals: opens the link, takes the
// backup (nothing is written when that fails), sends the blocks with their
// retries, verifies, resets, and ends with a truthful outcome: complete, or
// incomplete with what the board now holds and the command that repairs it.
int RunBoardWrite(const BoardTarget& t, const WriteOptions& w, WriteRun& run, const WriteSteps& steps, Output& o);

// The JSON result of a write on stdout (with --json); returns `code`.
int FinishWrite(const BoardTarget& t, const WriteOptions& w, const WriteRun& run, int code, Output& o);

}  // namespace cli
