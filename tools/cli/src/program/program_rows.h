// What the parent of a production job knows of each line and board, and the
// end of the job: the summary table (or JSON Lines), a line for each board
// that is not ok with the command that restores it, and the report.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "output.h"
#include "program/program_job.h"

namespace cli {

// One board (or, before its scan ends, a scanned line) as the parent knows it.
struct Row {
    std::size_t line = 0;
    Json address;  // null: the line's scan
    std::string step = "waiting";
    unsigned done = 0, total = 0;
    Json result;                       // the worker's result event, null until it came
    Json backups = Json::object();     // "panel", "gamma", "modes": each backup as soon as it was saved
    Json before = Json::object();      // "panel", "gamma", "modes": the SHA-256 of each block backed up
    std::set<std::string> withErrors;  // backups in which the checks find errors: restored with --force
    Json started;                      // when the parent saw the board's first step (ISO text), or null
    Row(std::size_t l, Json a) : line(l), address(std::move(a)) {}
};

struct Line {
    ProgramLine spec;
    std::string resolved;  // the device the path leads to (a link's target), else as given
    std::size_t worker = 0;
    bool running = false;  // started, and its end not yet seen
    bool ended = false;    // the worker's "end" came
    std::string fatal;
    int exitCode = 0;
    std::string why;  // how the worker ended, when it did not exit by itself
    Json endedAt;     // when the parent saw the worker end (ISO text), or null
    explicit Line(ProgramLine s) : spec(std::move(s)) {}
};

// The job as it ended.
struct Outcome {
    const ProgramJob& job;
    const ProgramImages& images;
    const std::vector<Line>& lines;
    const std::vector<Row>& rows;
    bool interrupted = false;
};

// "POSITION (DEVICE)", or "DEVICE" for a line without a position.
std::string LineName(const ProgramLine& line);
// "LINE address A" or "LINE (scan)", LINE as LineName says.
std::string RowName(const Outcome& x, const Row& r);
// "NAME: ok (1.20 s)" or "NAME: FAILED at STEP (STATE): ERROR".
std::string DescribeRow(const Outcome& x, const Row& r);
// The commands that put a board's backups back, joined by " && "; empty
// when no backup was taken.
std::string RestoreLine(const Outcome& x, const Row& r);

// The summary (a table, or with --json one line per board and a summary
// object), the lines of the boards that are not ok and the report. Returns
// the exit status: 0 when every board is ok.
int FinishProgram(const Outcome& x, Output& o);

}  // namespace cli
