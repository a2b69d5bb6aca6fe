// vantrel-soak: runs thousands of commands and block transfers through the
// link library against the emulated board while injecting random faults on
// the line, and prints what came of them:
//   operations and transactions run, failures reported, false successes (a
//   success whose data are wrong), the late answers that completed the next
//   transaction (answers later than their time-out, and answers to a request
//   that went out just before the line hung up), hangs, and file descriptors
//   and memory at the end against the start.
// Two phases with the same faults: A keeps the link open after a failure (the
// library lets the line go quiet before the next request); B
// closes it after a failure and opens it again only once the line had time
// to settle, as the editor does (it shows its message first). Open discards
// what arrived meanwhile, so no late answer reaches a later transaction.
//
//   vantrel-soak [--operations N] [--fault-percent P] [--seed S] [--baud B]
//                [--settle-ms M] [--phase A|B] [--quiet]
// --phase runs only that phase (A: the link kept open after failures).
// Exit status 0 when there was no hang and no false success but the late
// answers of phase A.
#include "vantrel.h"
#include "vantrel_board/board.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

enum class Fault { None, Drop, Late, Slow, Garble, BadChecksum, Oversize, Noise, AlterEcho, HangUp, kCount };

const char* FaultName(Fault f) {
    switch (f) {
        case Fault::None:
            return "none";
        case Fault::Drop:
            return "dropped answer";
        case Fault::Late:
            return "late answer";
        case Fault::Slow:
            return "delayed answer";
        case Fault::Garble:
            return "garbled byte";
        case Fault::BadChecksum:
            return "wrong checksum";
        case Fault::Oversize:
            return "oversize frame";
        case Fault::Noise:
            return "noise";
        case Fault::AlterEcho:
            return "altered echo";
        case Fault::HangUp:
            return "hang-up";
        default:
            return "?";
    }
}

struct Tally {
    uint64_t operations = 0, failures = 0, falseSuccesses = 0, lateFalseSuccesses = 0;
};

struct Figures {
    std::map<Fault, Tally> byFault;
    uint64_t operations = 0, transactions = 0, failures = 0, falseSuccesses = 0, lateFalseSuccesses = 0;
    uint64_t hangs = 0, slowDeadFailures = 0, reopens = 0;
    double seconds = 0;
};

// One operation: the export call and the check of its result against the
// board's own memories. Returns whether the export reported success; sets
// right when the data it returned or stored are the board's.
struct Operation {
    const char* name;
    unsigned chunks;     // transactions it makes when nothing fails
    uint32_t timeoutMs;  // of each of them
    bool writesEcho;     // a flash or NVRAM write, whose echo is compared
    std::function<bool(bool& right)> run;
};

long OpenDescriptors() {
    long count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
        count -= 3;  // ".", ".." and the directory's own descriptor
    }
    return count;
}

double StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + std::strlen(field));
    return 0;
}

class Soak {
public:
    Soak(vantrel_board::Board& board, uint32_t seed, bool quiet) : board_(board), random_(seed), quiet_(quiet) {}

    Figures Run(unsigned operations, unsigned faultPercent, bool reopenAfterFailure, int settleMs) {
        Figures fig;
        const auto start = Clock::now();
        const uint64_t framesAtStart = board_.ExecutedFrameCount();
        OpenLink();
        // Until then a late answer of a failed transaction may still arrive.
        Clock::time_point lateWindowEnd{};
        for (unsigned i = 0; i < operations; ++i) {
            Operation op = MakeOperation();
            Fault fault = Fault::None;
            if (Uniform(0, 99) < faultPercent)
                fault = static_cast<Fault>(Uniform(1, static_cast<unsigned>(Fault::kCount) - 1));
            if (fault == Fault::AlterEcho && !op.writesEcho) fault = Fault::Garble;
            Arm(fault, op);

            std::thread hangUp;
            if (fault == Fault::HangUp)
                hangUp = std::thread([this, delay = Uniform(0, 10)] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
                    HangUpLine();
                });
            const auto t0 = Clock::now();
            bool right = true;
            const bool success = op.run(right);
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            if (hangUp.joinable()) hangUp.join();
            board_.SetFaults({});

            Tally& t = fig.byFault[fault];
            ++t.operations;
            ++fig.operations;
            if (ms > op.chunks * (op.timeoutMs + 50.0) + 1500.0) {
                ++fig.hangs;
                Say("hang: %s took %.0f ms (fault %s)\n", op.name, ms, FaultName(fault));
            }
            if (!success) {
                ++t.failures;
                ++fig.failures;
                if (fault == Fault::HangUp && ms > 100.0 + op.timeoutMs) {
                    ++fig.slowDeadFailures;
                    Say("slow failure on a hung-up line: %s took %.0f ms\n", op.name, ms);
                }
            } else if (!right) {
                // A late answer of an earlier transaction completes the next
                // one: the protocol cannot tell it from that one's own answer.
                if (t0 < lateWindowEnd) {
                    ++t.lateFalseSuccesses;
                    ++fig.lateFalseSuccesses;
                } else {
                    ++t.falseSuccesses;
                    ++fig.falseSuccesses;
                    Say("false success: %s (fault %s)\n", op.name, FaultName(fault));
                }
            }
            // An answer later than its transaction: a late one, or one to a
            // request that went out just before the line hung up (the board
            // still answers it, and the same terminal opens again).
            if ((fault == Fault::Late && !success) || fault == Fault::HangUp)
                lateWindowEnd = Clock::now() + std::chrono::milliseconds(1000);

            if (fault == Fault::HangUp) {
                // A dead line stays dead until Close; reopen in both phases.
                CloseLink();
                if (reopenAfterFailure) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
                    lateWindowEnd = {};
                }
                OpenLink();
                ++fig.reopens;
            } else if (!success && reopenAfterFailure) {
                CloseLink();
                std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
                OpenLink();  // discards what arrived while the link was closed
                ++fig.reopens;
                lateWindowEnd = {};
            }
        }
        CloseLink();
        board_.WaitUntilSent(std::chrono::seconds(3));
        fig.transactions = board_.ExecutedFrameCount() - framesAtStart;
        fig.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return fig;
    }

private:
    unsigned Uniform(unsigned low, unsigned high) {
        return std::uniform_int_distribution<unsigned>(low, high)(random_);
    }

    Bytes RandomBytes(std::size_t n) {
        Bytes out(n);
        for (auto& b : out) b = static_cast<uint8_t>(Uniform(0, 255));
        return out;
    }

    template <typename... Args>
    void Say(const char* format, Args... args) {
        if (!quiet_) std::fprintf(stderr, format, args...);
    }

    void OpenLink() {
        if (OpenSerialCommunication(1, 57600) != 1) {
            std::fprintf(stderr, "vantrel-soak: cannot open the emulated board's line\n");
            std::exit(2);
        }
    }

    void CloseLink() { CloseSerialCommunication(); }

    // A pulled adapter; where hanging up a terminal is not allowed, the board
    // goes away and comes back on a new terminal.
    void HangUpLine() {
        if (board_.HangUp()) return;
        board_.Stop();
        if (board_.Start()) setenv("VANTREL_COM1", board_.SlavePath().c_str(), 1);
    }

    // Puts the fault on one of the operation's transactions.
    void Arm(Fault fault, const Operation& op) {
        vantrel_board::Faults f;
        const uint64_t frame = board_.ExecutedFrameCount() + 1 + Uniform(0, op.chunks - 1);
        switch (fault) {
            case Fault::Drop:
                f.dropAnswerFrame = frame;
                break;
            case Fault::Late:
                f.delayFrame = frame;
                f.delayMs = op.timeoutMs + Uniform(50, 250);
                break;
            case Fault::Slow:
                f.delayFrame = frame;
                f.delayMs = Uniform(50, op.timeoutMs - 150);
                break;
            case Fault::Garble:
                f.garbleFrame = frame;
                f.garbleOffset = static_cast<uint8_t>(Uniform(0, 255));
                f.garbleMask = static_cast<uint8_t>(Uniform(1, 255));
                break;
            case Fault::BadChecksum:
                f.badChecksumFrame = frame;
                break;
            case Fault::Oversize:
                f.oversizeFrame = frame;
                f.oversizeLength = static_cast<uint8_t>(Uniform(33, 255));
                break;
            case Fault::Noise:
                f.noiseFrame = frame;
                for (unsigned n = Uniform(1, 12); n > 0; --n) {
                    uint8_t b = static_cast<uint8_t>(Uniform(0, 254));
                    f.noise.push_back(b == 0xBB ? 0xFF : b);  // 0xBB starts a frame: that is a garbled answer
                }
                break;
            case Fault::AlterEcho:
                f.alterEchoFrame = frame;
                f.alterEchoIndex = static_cast<uint8_t>(Uniform(0, 15));
                break;
            default:
                break;
        }
        board_.SetFaults(f);
    }

    // Waits until the board carried out the operation's last request, so that
    // its memories can be compared.
    void WaitForBoard(uint64_t frames) {
        const auto until = Clock::now() + std::chrono::seconds(1);
        while (board_.ExecutedFrameCount() < frames && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    Operation MakeOperation() {
        const uint64_t before = board_.ExecutedFrameCount();
        switch (Uniform(0, 9)) {
            case 0: {
                uint16_t reg = static_cast<uint16_t>(Uniform(0x100, 0x1FF));
                return {"read register", 1, 500, false, [this, reg](bool& right) {
                            int32_t v = Vantrel_ReadRegister(0, reg);
                            right = v == board_.Register(reg);
                            return v >= 0;
                        }};
            }
            case 1: {
                uint16_t reg = static_cast<uint16_t>(Uniform(0x100, 0x1FF));
                uint16_t value = static_cast<uint16_t>(Uniform(0, 0xFFFF));
                return {"write register", 1, 500, false, [this, reg, value, before](bool& right) {
                            int32_t v = Vantrel_WriteRegister(0, reg, value);
                            if (v >= 0)  // a failed write may never reach the board: no waiting for it
                                WaitForBoard(before + 1);
                            right = v == value && board_.Register(reg) == value;
                            return v >= 0;
                        }};
            }
            case 2:
            case 3: {
                uint32_t count = Uniform(1, 768), address = Uniform(0, 0xFFFF - count);
                return {"flash read", (count + 15) / 16, 500, false, [this, count, address](bool& right) {
                            Bytes buffer(count);
                            int32_t r = Vantrel_ReadFlash(0, address, count, buffer.data());
                            right = buffer == board_.Flash(address, count);
                            return r == 0;
                        }};
            }
            case 4:
            case 5: {
                uint32_t count = Uniform(1, 512), address = Uniform(0, 0xEFFF - count);
                Bytes data = RandomBytes(count);
                return {"flash write", (count + 15) / 16, 1000, true,
                        [this, count, address, data, before](bool& right) {
                            int32_t r = Vantrel_WriteFlash(0, address, count, data.data());
                            if (r == 0) WaitForBoard(before + (count + 15) / 16);
                            right = board_.Flash(address, count) == data;
                            return r == 0;
                        }};
            }
            case 6: {
                uint32_t count = Uniform(1, 256), address = Uniform(0, 0x1FFF - count);
                return {"NVRAM read", (count + 15) / 16, 500, false, [this, count, address](bool& right) {
                            Bytes buffer(count);
                            int32_t r = Vantrel_ReadNvRam(0, address, count, buffer.data());
                            right = buffer == board_.NvRam(address, count);
                            return r == 0;
                        }};
            }
            case 7: {
                uint32_t count = Uniform(1, 256), address = Uniform(0, 0x1FFF - count);
                Bytes data = RandomBytes(count);
                return {"NVRAM write", (count + 15) / 16, 1000, true,
                        [this, count, address, data, before](bool& right) {
                            int32_t r = Vantrel_WriteNvRam(0, address, count, data.data());
                            if (r == 0) WaitForBoard(before + (count + 15) / 16);
                            right = board_.NvRam(address, count) == data;
                            return r == 0;
                        }};
            }
            case 8: {
                uint8_t sub = static_cast<uint8_t>(Uniform(0, 255));
                uint32_t count = Uniform(1, 64);
                return {"I2C read", (count + 15) / 16, 500, false, [this, sub, count](bool& right) {
                            Bytes buffer(count);
                            int32_t r = Vantrel_ReadI2c(0, 0xA0, 0x01, sub, static_cast<int32_t>(count), buffer.data());
                            right = true;
                            for (uint32_t i = 0; i < count; ++i)
                                right &= buffer[i] == board_.I2cByte(0xA0, 0x01, static_cast<uint8_t>(sub + i));
                            return r == 0;
                        }};
            }
            default:
                return {"version", 1, 500, false, [this](bool& right) {
                            uint8_t first = 0, second = 0;
                            int32_t r = Vantrel_Version(0, &first, &second);
                            auto v = board_.Version();
                            right = first == v[0] && second == v[1];
                            return r == 0;
                        }};
        }
    }

    vantrel_board::Board& board_;
    std::mt19937 random_;
    bool quiet_;
};

void Print(const char* title, const Figures& f) {
    std::printf("%s\n", title);
    std::printf("  operations %llu, transactions %llu, in %.1f s\n", (unsigned long long)f.operations,
                (unsigned long long)f.transactions, f.seconds);
    std::printf(
        "  failures reported %llu, false successes %llu, late answers that completed the next "
        "transaction %llu, hangs %llu\n",
        (unsigned long long)f.failures, (unsigned long long)f.falseSuccesses, (unsigned long long)f.lateFalseSuccesses,
        (unsigned long long)f.hangs);
    std::printf("  reopened %llu times; failures on a hung-up line slower than the time-out: %llu\n",
                (unsigned long long)f.reopens, (unsigned long long)f.slowDeadFailures);
    std::printf("  %-16s %10s %10s %10s %10s\n", "fault", "operations", "failed", "false", "late");
    for (const auto& [fault, t] : f.byFault)
        std::printf("  %-16s %10llu %10llu %10llu %10llu\n", FaultName(fault), (unsigned long long)t.operations,
                    (unsigned long long)t.failures, (unsigned long long)t.falseSuccesses,
                    (unsigned long long)t.lateFalseSuccesses);
}

bool Number(const char* text, unsigned long& out) {
    char* end = nullptr;
    out = std::strtoul(text, &end, 10);
    return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long operations = 2000, faultPercent = 20, seed = 1, baud = 0, settleMs = 500;
    bool quiet = false;
    bool runA = true, runB = true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        unsigned long* target = nullptr;
        if (arg == "--phase" && i + 1 < argc && (std::string(argv[i + 1]) == "A" || std::string(argv[i + 1]) == "B")) {
            runA = argv[++i][0] == 'A';
            runB = !runA;
            continue;
        }
        if (arg == "--operations") target = &operations;
        else if (arg == "--fault-percent") target = &faultPercent;
        else if (arg == "--seed") target = &seed;
        else if (arg == "--baud") target = &baud;
        else if (arg == "--settle-ms") target = &settleMs;
        else if (arg == "--quiet") {
            quiet = true;
            continue;
        }
        if (target == nullptr || i + 1 >= argc || !Number(argv[++i], *target) || faultPercent > 100) {
            std::fprintf(stderr,
                         "usage: vantrel-soak [--operations N] [--fault-percent P] [--seed S] [--baud B] "
                         "[--settle-ms M] [--phase A|B] [--quiet]\n");
            return 2;
        }
    }

    vantrel_board::Options options;
    options.baud = static_cast<uint32_t>(baud);
    options.log = [](const std::string&) {};
    options.record = false;
    vantrel_board::Board board(options);
    if (!board.Start()) {
        std::fprintf(stderr, "vantrel-soak: cannot start the emulated board: %s\n", board.LastError().c_str());
        return 2;
    }
    setenv("VANTREL_COM1", board.SlavePath().c_str(), 1);

    const long fdsBefore = OpenDescriptors();
    const double rssBefore = StatusKiB("VmRSS:");
    std::printf("vantrel-soak: seed %lu, %lu operations a phase, faults on %lu %% of them, %s\n", seed, operations,
                faultPercent, baud ? ("line paced at " + std::to_string(baud) + " baud").c_str() : "line unpaced");

    Soak soak(board, static_cast<uint32_t>(seed), quiet);
    Figures a, b;
    if (runA) {
        a = soak.Run(static_cast<unsigned>(operations), static_cast<unsigned>(faultPercent), false, 0);
        Print("phase A: the link stays open after a failure", a);
    }
    if (runB) {
        b = soak.Run(static_cast<unsigned>(operations), static_cast<unsigned>(faultPercent), true,
                     static_cast<int>(settleMs));
        char title[128];
        std::snprintf(title, sizeof title, "phase B: the link is closed after a failure and opened again %lu ms later",
                      settleMs);
        Print(title, b);
    }

    const long fdsAfter = OpenDescriptors();
    const double rssAfter = StatusKiB("VmRSS:");
    std::printf(
        "resources: file descriptors %ld at the start, %ld at the end; resident memory %.1f MiB at the "
        "start, %.1f MiB at the end (peak %.1f MiB)\n",
        fdsBefore, fdsAfter, rssBefore / 1024, rssAfter / 1024, StatusKiB("VmHWM:") / 1024);
    board.Stop();

    const bool ok = a.hangs == 0 && b.hangs == 0 && a.falseSuccesses == 0 && b.falseSuccesses == 0 &&
                    b.lateFalseSuccesses == 0 && fdsAfter == fdsBefore;
    std::printf("%s\n", ok ? "soak: ok" : "soak: FAILED");
    return ok ? 0 : 1;
}
