// Retry of the failed: the boards an earlier report names as failed or
// interrupted, picked out of the same job.
#pragma once

#include <string>

#include "output.h"
#include "program/program_job.h"

namespace cli {

// The most a report may hold: far beyond 255 boards on each of many lines.
inline constexpr std::uintmax_t kMostReportBytes = 64u << 20;

enum class RetryPlan {
    Run,      // job.lines now hold exactly the boards to write again
    Nothing,  // every board of the report is ok: a note was written
    Refused,  // an error was written; nothing may be sent
};

// Narrows `job` (built, its files loaded into `images` and job.identity set)
// to the boards the report at `reportPath` names as failed or interrupted,
// at the same positions, devices and addresses, and sets job.continues.
// Refused when the report cannot be read, was made with other files (its
// "job" differs; a report without "job" is compared by the SHA-256 of the
// blocks it wrote), another panel slot, or names a board the job lacks.
RetryPlan NarrowToFailed(const std::string& reportPath, const ProgramImages& images, ProgramJob& job, Output& o);

}  // namespace cli
