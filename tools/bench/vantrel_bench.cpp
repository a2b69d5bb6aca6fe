// vantrel-bench: how close the block transfers come to the time the bytes
// need on the wire. Runs each transfer against the emulated board paced at
// 57600 baud and prints the median of several runs beside the wire time of
// all request and answer frames (10 bits a byte).
#include "vantrel.h"
#include "vantrel_board/board.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kBaud = 57600;

struct Result {
    double measuredMs;
    double wireMs;
};

Result Measure(vantrel_board::Board &board, const std::function<int()> &transfer, int runs, bool &ok)
{
    std::vector<double> times;
    double wireMs = 0;
    for (int run = 0; run < runs; ++run) {
        board.WaitUntilSent(std::chrono::seconds(2));
        board.ClearRecord();
        const std::uint64_t sentBefore = board.SentByteCount();
        const auto start = std::chrono::steady_clock::now();
        if (transfer() != 0)
            ok = false;
        const auto end = std::chrono::steady_clock::now();
        const std::uint64_t bytes = board.ReceivedBytes().size() + (board.SentByteCount() - sentBefore);
        wireMs = static_cast<double>(bytes) * 10.0 * 1000.0 / kBaud;
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], wireMs};
}

}  // namespace

int main(int argc, char **argv)
{
    int runs = 7;
    if (argc > 1)
        runs = std::max(1, std::atoi(argv[1]));

    vantrel_board::Options options;
    options.baud = kBaud;
    options.record = true;   // the bytes received give the wire time
    vantrel_board::Board board(options);
    if (!board.Start()) {
        std::fprintf(stderr, "vantrel-bench: cannot start the emulated board: %s\n", board.LastError().c_str());
        return 2;
    }
    setenv("VANTREL_COM1", board.SlavePath().c_str(), 1);
    if (OpenSerialCommunication(1, kBaud) != 1) {
        std::fprintf(stderr, "vantrel-bench: cannot open %s\n", board.SlavePath().c_str());
        return 2;
    }

    std::vector<std::uint8_t> modes = board.Flash(vantrel_board::kModeTableAddress, vantrel_board::kModeTableSize);
    std::vector<std::uint8_t> panel = board.Flash(vantrel_board::kPanelImageBase, vantrel_board::kPanelImageSize);
    std::vector<std::uint8_t> buffer(768);

    struct Case {
        const char *name;
        std::function<int()> run;
        double limit;   // ratio the transfer must stay within; 0 = reported only
    };
    const Case cases[] = {
        {"Vantrel_WriteModeTable", [&] { return Vantrel_WriteModeTable(0, modes.data()); }, 1.25},
        {"Vantrel_GetModeTable", [&] { return Vantrel_GetModeTable(0, buffer.data()); }, 0},
        {"Vantrel_WritePanelData", [&] { return Vantrel_WritePanelData(0, 0, panel.data()); }, 0},
    };

    bool allOk = true;
    bool withinLimit = true;
    for (const Case &c : cases) {
        bool ok = true;
        Result r = Measure(board, c.run, runs, ok);
        double ratio = r.measuredMs / r.wireMs;
        std::printf("%s measured_ms=%.1f wire_ms=%.1f ratio=%.3f", c.name, r.measuredMs, r.wireMs, ratio);
        if (c.limit > 0) {
            std::printf(" limit=%.2f", c.limit);
            withinLimit = withinLimit && ratio <= c.limit;
        }
        std::printf("%s\n", ok ? "" : " FAILED");
        allOk = allOk && ok;
    }
    CloseSerialCommunication();
    board.Stop();
    if (!allOk)
        return 1;
    return withinLimit ? 0 : 3;
}
