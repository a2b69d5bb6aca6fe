// The worker of the program command: one process per serial line, started by
// the command itself with a hidden sub-command. It writes the job to each
// board of its line, one after the other, and tells the parent what it does
// as JSON lines on stdout:
//   {"ev":"scan","found":[...],"complete":C}                 after a scan (C: false when stopped)
//   {"ev":"step","address":A,"step":S,"done":D,"total":T}    progress
//   {"ev":"backup","address":A,"what":W,"path":P,"errors":E,"sha256":H}
//                                                            a backup file, once saved (W: panel,
//                                                            gamma, modes; E: the checks find errors
//                                                            in it; H: {block: SHA-256} as read)
//   {"ev":"result","address":A,...,"start":T,"end":T}        one per board (A null: the scan)
//   {"ev":"end"}                                             last line
// A "stop" line on its standard input, or a Ctrl-C of its own, stops it after
// the transaction on the wire (platform/worker_processes.h).
#pragma once

#include <string>

namespace cli {

inline constexpr const char* kWorkerCommand = "_worker";

// Runs the worker for the instructions in specJson (see WorkerSpec); 0 when
// every board is ok, 1 otherwise, 2 for instructions it cannot read.
int RunProgramWorker(const std::string& specJson);

}  // namespace cli
