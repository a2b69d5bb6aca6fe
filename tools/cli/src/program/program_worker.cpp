// The worker of the program command: one process per serial line. It opens
// the line, scans it when asked, and writes each board in turn.
#include "program/program_worker.h"

#include <chrono>
#include <vector>

#include "board/board_commands.h"
#include "board/link_session.h"
#include "platform/terminal.h"
#include "platform/worker_processes.h"
#include "program/program_board.h"
#include "program/program_job.h"
#include "vantrel.h"

namespace cli {
namespace {

// Addresses 0..254 that answer, each waited for 40 ms; `tried` counts the
// addresses probed before the end or a stop.
std::vector<int> Scan(int& tried) {
    std::vector<int> found;
    for (tried = 0; tried <= 254 && !StopRequested(); ++tried) {
        if (tried % 16 == 0)
            EmitToParent({{"ev", "step"}, {"address", nullptr}, {"step", "scan"}, {"done", tried}, {"total", 255}});
        if (Vantrel_ProbeDevice(tried, 40, nullptr, nullptr) == 0) found.push_back(tried);
    }
    return found;
}

// When the worker began: a failure of the whole line (the open, the scan)
// spans the boards' time from there.
std::chrono::system_clock::time_point workerStart;

Json LineFailure(const Json& address, const std::string& step, const std::string& error) {
    return {{"ev", "result"},
            {"address", address},
            {"version", nullptr},
            {"result", StopRequested() ? "interrupted" : "failed"},
            {"state", "untouched"},
            {"step", step},
            {"error", error},
            {"verify", "not reached"},
            {"durationMs", 0},
            {"start", IsoUtc(workerStart)},
            {"end", IsoUtc(std::chrono::system_clock::now())}};
}

// Scans the line; a scan stopped before its end gets a result of its own,
// so that the report says which addresses were never tried.
std::vector<int> ScanLine() {
    int tried = 0;
    std::vector<int> found = Scan(tried);
    const bool complete = tried > 254;
    EmitToParent({{"ev", "scan"}, {"found", found}, {"complete", complete}});
    if (!complete)
        EmitToParent(LineFailure(nullptr, "scan",
                                 tried == 0
                                     ? std::string("the scan was stopped before any device address was tried")
                                     : "the scan was stopped after device addresses 0.." + std::to_string(tried - 1) +
                                           "; " + std::to_string(tried) + "..254 were not tried"));
    else if (found.empty()) EmitToParent(LineFailure(nullptr, "scan", "no board answered at device addresses 0..254"));
    return found;
}

}  // namespace

int RunProgramWorker(const std::string& specJson) {
    workerStart = std::chrono::system_clock::now();
    platform::WatchForWorkerStop();
    const Json spec = Json::parse(specJson, nullptr, false);
    ProgramImages images;
    std::string error;
    if (spec.is_discarded() || !spec.is_object() || !spec.contains("device") || !spec["device"].is_string() ||
        !SpecToImages(spec, images, error)) {
        EmitToParent({{"ev", "fatal"}, {"error", error.empty() ? "bad worker instructions" : error}});
        return 2;
    }
    const std::string device = spec["device"].get<std::string>();
    std::vector<int> addresses = spec.value("addresses", std::vector<int>{});
    const bool scan = spec.value("scan", false);

    platform::SetEnvironment("VANTREL_COM1", device);
    if (OpenSerialCommunication(1, 57600) == 0) {
        // The library's port 1 stands for the device here: name the device only.
        std::string why = DescribePortFailure(BoardTarget{1, device, 0});
        const std::string com = "COM1 (" + device + ")";
        if (why.rfind("cannot open " + com, 0) == 0) why.replace(12, com.size(), device);
        if (scan) EmitToParent(LineFailure(nullptr, "open", why));
        for (int a : addresses) EmitToParent(LineFailure(a, "open", why));
        EmitToParent({{"ev", "end"}});
        return 1;
    }
    if (scan) addresses = ScanLine();
    BoardWriter writer(spec, images);
    bool allOk = !addresses.empty();
    for (int a : addresses) allOk = writer.Program(a) && allOk;
    CloseSerialCommunication();
    EmitToParent({{"ev", "end"}});
    return allOk ? 0 : 1;
}

}  // namespace cli
