// vantrel-dump-bench: how close `tolvane2-cli flash dump` (the whole 64 KiB)
// comes to the time its frames need on the wire. Runs the command in-process
// against the emulated board paced at 57600 baud and prints the median of the
// runs beside the wire time of all request and answer frames (10 bits a byte),
// and the library's own 64 KiB Vantrel_ReadFlash beside it: what the command
// adds to the library is the difference of the two. Exit status 3 when the
// command is over its limit of 1.05 x the wire time.
#include "cli_app.h"
#include "vantrel.h"
#include "vantrel_board/board.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
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
    bool ok = true;
    // The median time of `runs` runs of transfer, and the wire time of the last.
    auto measure = [&](const std::function<bool()>& transfer, double& wireMs) {
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            board.WaitUntilSent(std::chrono::seconds(2));
            board.ClearRecord();
            const uint64_t sentBefore = board.SentByteCount();
            const auto start = std::chrono::steady_clock::now();
            ok = transfer() && ok;
            const auto end = std::chrono::steady_clock::now();
            const uint64_t bytes = board.ReceivedBytes().size() + (board.SentByteCount() - sentBefore);
            wireMs = static_cast<double>(bytes) * 10.0 * 1000.0 / kBaud;
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    double cliWire = 0, libWire = 0;
    const double cliMs = measure(
        [&] {
            std::ostringstream out, err;
            const int rc = cli::RunCli({"--device", board.SlavePath(), "flash", "dump", "-o", file}, out, err, false);
            if (rc != 0) std::fprintf(stderr, "vantrel-dump-bench: flash dump failed: %s", err.str().c_str());
            return rc == 0;
        },
        cliWire);
    std::vector<uint8_t> buffer(0x10000);
    ::setenv("VANTREL_COM1", board.SlavePath().c_str(), 1);
    if (OpenSerialCommunication(1, kBaud) == 0) {
        std::fprintf(stderr, "vantrel-dump-bench: cannot open the emulated board\n");
        return 2;
    }
    const double libMs = measure([&] { return Vantrel_ReadFlash(0, 0, 0x10000, buffer.data()) == 0; }, libWire);
    CloseSerialCommunication();
    std::remove(file.c_str());
    ::rmdir(dir);
    board.Stop();
    // The command's limit: 1.05 x its wire time.
    constexpr double kLimit = 1.05;
    const bool within = cliMs <= kLimit * cliWire;
    std::printf("%-32s %10s %10s %7s  %s\n", "transfer", "measured", "wire", "ratio", "limit");
    std::printf("%-32s %8.0f ms %8.0f ms %7.3f  %.2f x wire  %s\n", "tolvane2-cli flash dump", cliMs, cliWire,
                cliMs / cliWire, kLimit, within ? "ok" : "OVER");
    std::printf("%-32s %8.0f ms %8.0f ms %7.3f\n", "Vantrel_ReadFlash 64 KiB", libMs, libWire, libMs / libWire);
    if (ok && !within) return 3;
    return ok ? 0 : 1;
}
