// vantrel-dump-bench: how close `tolvane2-cli flash dump` (the whole 64 KiB)
// comes to the time its frames need on the wire. Runs the command in-process
// against the emulated board paced at 57600 baud and prints the median of the
// runs beside the wire time of all request and answer frames (10 bits a byte).
#include "cli_app.h"
#include "vantrel_board/board.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    constexpr uint32_t kBaud = 57600;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    vantrel_board::Options options;
    options.baud = kBaud;
    options.record = true;  // the bytes received give the wire time
    vantrel_board::Board board(options);
    if (!board.Start()) {
        std::fprintf(stderr, "vantrel-dump-bench: cannot start the emulated board: %s\n", board.LastError().c_str());
        return 2;
    }
    char dir[] = "/tmp/vantrel-dump-bench.XXXXXX";
    if (::mkdtemp(dir) == nullptr) {
        std::perror("vantrel-dump-bench: mkdtemp");
        return 2;
    }
    const std::string file = std::string(dir) + "/flash.bin";
    std::vector<double> times;
    double wireMs = 0;
    bool ok = true;
    for (int run = 0; run < runs; ++run) {
        board.WaitUntilSent(std::chrono::seconds(2));
        board.ClearRecord();
        const uint64_t sentBefore = board.SentByteCount();
        std::ostringstream out, err;
        const auto start = std::chrono::steady_clock::now();
        const int rc = cli::RunCli({"--device", board.SlavePath(), "flash", "dump", "-o", file}, out, err, false);
        const auto end = std::chrono::steady_clock::now();
        if (rc != 0) {
            std::fprintf(stderr, "vantrel-dump-bench: flash dump failed: %s", err.str().c_str());
            ok = false;
        }
        const uint64_t bytes = board.ReceivedBytes().size() + (board.SentByteCount() - sentBefore);
        wireMs = static_cast<double>(bytes) * 10.0 * 1000.0 / kBaud;
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::remove(file.c_str());
    ::rmdir(dir);
    board.Stop();
    std::sort(times.begin(), times.end());
    const double measured = times[times.size() / 2];
    std::printf("%-28s %10s %10s %7s\n", "transfer", "measured", "wire", "ratio");
    std::printf("%-28s %8.0f ms %8.0f ms %7.3f\n", "tolvane2-cli flash dump", measured, wireMs, measured / wireMs);
    return ok ? 0 : 1;
}
