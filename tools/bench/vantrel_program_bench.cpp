// vantrel-program-bench: how the program command scales. At 57600 baud, with
// a panel that uses its gamma table plus the mode table and verify on, it
// times one board alone, eight boards on eight emulated ports, and four
// addresses on one emulated bus, and the CPU the command uses meanwhile.
//   vantrel-program-bench [path/to/tolvane2-cli] [--runs N]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "vantrel_board/board.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using vantrel_board::Board;

std::string g_cli;
fs::path g_dir;

int Run(std::vector<std::string> args) {
    args.insert(args.begin(), g_cli);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    const std::string log = (g_dir / "cli.log").string();
    posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, g_cli.c_str(), &fa, nullptr, argv.data(), environ) != 0) return -1;
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    double wall = 0;  // seconds, the best of the runs
    double cpu = 0;   // CPU seconds of the command and its workers in that run
};

std::unique_ptr<Board> NewBoard(uint8_t address, std::vector<uint8_t> more = {}) {
    vantrel_board::Options o;
    o.baud = 57600;
    o.record = false;
    o.address = address;
    o.moreAddresses = std::move(more);
    auto b = std::make_unique<Board>(o);
    if (!b->Start()) {
        std::fprintf(stderr, "vantrel-program-bench: %s\n", b->LastError().c_str());
        std::exit(1);
    }
    return b;
}

Timing Time(const std::vector<std::string>& devices, const std::string& addresses, int runs) {
    Timing best{1e9, 0};
    for (int i = 0; i < runs; ++i) {
        std::vector<std::string> args = {"program", "--panel", (g_dir / "p.PNL").string(), "--slot",
                                         "2",       "--modes", (g_dir / "m.MOD").string(), "--verify",
                                         "-q"};
        if (!addresses.empty()) args.insert(args.end(), {"--addresses", addresses});
        args.insert(args.end(), devices.begin(), devices.end());
        const double cpu0 = CpuSeconds();
        const auto t0 = Clock::now();
        const int rc = Run(args);
        const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
        const double cpu = CpuSeconds() - cpu0;
        if (rc != 0) {
            std::fprintf(stderr, "vantrel-program-bench: the program command failed (exit %d); see %s\n", rc,
                         (g_dir / "cli.log").c_str());
            std::exit(1);
        }
        if (wall < best.wall) best = {wall, cpu};
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    g_cli = TOLVANE2_CLI;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--help") {
            std::puts("Usage: vantrel-program-bench [path/to/tolvane2-cli] [--runs N]");
            return 0;
        } else g_cli = a;
    }
    g_dir = fs::temp_directory_path() / ("vantrel_program_bench_" + std::to_string(getpid()));
    fs::create_directories(g_dir);

    // The job: panel 1 of a board, changed to use a gamma table, and its mode table.
    {
        auto b = NewBoard(0);
        auto image = b->Flash(0xFB00, 64);
        image[0x3A] |= 0x10;
        b->SetFlash(0xFB00, image);
        const std::string dev = b->SlavePath();
        if (Run({"--device", dev, "panel", "read", "1", "-o", (g_dir / "p.PNL").string()}) != 0 ||
            Run({"--device", dev, "modes", "read", "-o", (g_dir / "m.MOD").string()}) != 0) {
            std::fprintf(stderr, "vantrel-program-bench: cannot read the job's files from the emulated board\n");
            return 1;
        }
    }

    std::vector<std::unique_ptr<Board>> boards;
    std::vector<std::string> devices;
    for (int i = 0; i < 8; ++i) {
        boards.push_back(NewBoard(1));
        devices.push_back(boards.back()->SlavePath());
    }
    auto bus = NewBoard(1, {2, 3, 4});

    std::printf("program at 57600 baud: panel image + gamma table + mode table (1088 bytes), verify on; best of %d\n",
                runs);
    const Timing one = Time({devices[0]}, "1", runs);
    const Timing eight = Time(devices, "1", runs);
    const Timing four = Time({bus->SlavePath()}, "1,2,3,4", runs);
    std::printf("  one board alone            %6.2f s   CPU %.2f s (%.0f%% of one core)\n", one.wall, one.cpu,
                100 * one.cpu / one.wall);
    std::printf(
        "  eight boards, eight ports  %6.2f s   CPU %.2f s (%.0f%% of one core)   ratio %.2f x (goal <= 1.25)\n",
        eight.wall, eight.cpu, 100 * eight.cpu / eight.wall, eight.wall / one.wall);
    std::printf("  four addresses, one bus    %6.2f s   CPU %.2f s (%.0f%% of one core)   ratio %.2f x (goal <= 4.2)\n",
                four.wall, four.cpu, 100 * four.cpu / four.wall, four.wall / one.wall);
    for (auto& b : boards) b->Stop();
    bus->Stop();
    fs::remove_all(g_dir);
    const bool ok = eight.wall <= 1.25 * one.wall && four.wall <= 4.2 * one.wall && eight.cpu < eight.wall;
    std::printf("%s\n", ok ? "all goals met" : "a goal was missed");
    return ok ? 0 : 1;
}
