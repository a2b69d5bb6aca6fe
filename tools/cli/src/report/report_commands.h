// The commands over the reports that program writes.
#pragma once

#include <string>
#include <vector>

#include "output.h"

namespace cli {

class Registry;
// Adds the report group (RegisterAll calls it).
void RegisterReportCommands(Registry& r);

enum class SummaryFormat { Text, Json, Csv };

// Sums the records of the reports (files, and folders of *.jsonl files) per
// fixture position: 0, or 1 when a report cannot be used (nothing printed)
// or some record could not be read (named on stderr; the rest is summed).
int CmdReportSummary(const std::vector<std::string>& reports, SummaryFormat format, Output& o);

}  // namespace cli
