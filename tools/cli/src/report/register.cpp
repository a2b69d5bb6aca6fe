// The report commands as the command line offers them.
#include <CLI/CLI.hpp>

#include <memory>

#include "command.h"
#include "report/report_commands.h"

namespace cli {

void RegisterReportCommands(Registry& r) {
    struct Args {
        std::vector<std::string> reports;
        bool csv = false;
    };
    auto a = std::make_shared<Args>();

    r.Group("report", "Read the reports that program writes");
    auto& summary =
        r.Add("report summary",
              "Boards run, ok and failed by step, and the median time per board, per fixture position over any "
              "number of reports",
              [a](Context& c) {
                  if (a->csv && c.o.json) {
                      c.o.Error() << "--csv and --json: give one of them";
                      return 2;
                  }
                  return CmdReportSummary(a->reports,
                                          a->csv     ? SummaryFormat::Csv
                                          : c.o.json ? SummaryFormat::Json
                                                     : SummaryFormat::Text,
                                          c.o);
              });
    // Folders are taken too, so the paths are checked when they are known (a
    // declared input is one regular file).
    summary.app->add_option("REPORT", a->reports, "Reports (JSON Lines) of program, or folders of them (*.jsonl)")
        ->required();
    summary.app->add_flag("--csv", a->csv, "One row per position with a header row, for spreadsheets");
}

}  // namespace cli
