// vantrel-bench: how close whole board commands come to the time their bytes
// need on the wire. Each case runs as the command-line tool runs it: open the
// port, transfer (and read back to verify, where the tool offers that), reset
// the board after a write, close the port. The emulated board paces its line
// at 57600 baud; the wire time of a run is all bytes it received and sent
// (10 bits a byte), counted in that same run. Prints the median of several
// runs beside its limit and as a ratio to the wire time. Then the same
// commands through Debian's ser2net on the loopback, over RFC 2217 and raw
// TCP, when ser2net is installed: there every block command of at least
// 150 ms on the wire must stay within 1.10 x its wire time, connect and close
// included, and a register round trip within the wire time + 5 ms.
//   vantrel-bench [runs]
// Exit status 0 when every case is within its limit, 3 when one is not, 1
// when a transfer failed, 2 when the board or the port could not be set up.
#include "ser2net_process.h"
#include "vantrel.h"
#include "vantrel_board/board.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t kBaud = 57600;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

struct Result {
    double measuredMs;
    double wireMs;
};

// Limits: a ratio to the wire time, or, for the cases that are mostly the
// port's own opening and closing, the wire time plus a fixed allowance.
struct Limit {
    double ratio;   // 0: none
    double plusMs;  // used when ratio is 0
};

struct Case {
    const char* name;
    std::function<bool()> run;  // true: transferred (and verified)
    Limit limit;
    std::function<bool()> before = nullptr;  // not timed
    bool block = false;                      // a block transfer: the network limit applies
};

// Through a serial server: block commands long enough for the connection's
// own cost to be small, and the register round trip.
constexpr double kNetworkBlockMinWireMs = 150.0;
Limit NetworkLimit(const Case& c, double wireMs) {
    if (c.block) return wireMs >= kNetworkBlockMinWireMs ? Limit{1.10, 0} : Limit{0, 0};
    if (std::string(c.name) == "register round trip") return {0, 5.0};
    return {0, 0};
}

bool OpenPort() { return OpenSerialCommunication(1, kBaud) == 1; }

Result Measure(vantrel_board::Board& board, const Case& c, int runs, bool& ok) {
    std::vector<double> times, wires;
    for (int run = 0; run < runs; ++run) {
        board.WaitUntilSent(std::chrono::seconds(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));  // the last reset is taken in
        if (c.before && !c.before()) ok = false;
        board.ClearRecord();
        const std::uint64_t sentBefore = board.SentByteCount();
        const auto start = Clock::now();
        if (!c.run()) ok = false;
        const auto end = Clock::now();
        board.WaitUntilSent(std::chrono::seconds(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::uint64_t bytes = board.ReceivedBytes().size() + (board.SentByteCount() - sentBefore);
        wires.push_back(static_cast<double>(bytes) * 10.0 * 1000.0 / kBaud);
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    std::sort(wires.begin(), wires.end());
    return {times[times.size() / 2], wires[wires.size() / 2]};
}

// Runs every case and prints it beside its limit; false when one is over.
bool RunCases(vantrel_board::Board& board, const std::vector<Case>& cases, int runs, bool network, bool& allOk) {
    std::printf("%-32s %10s %10s %8s  %-14s\n", "case", "measured", "wire", "ratio", "limit");
    bool withinLimit = true;
    for (const Case& c : cases) {
        bool ok = true;
        Result r = Measure(board, c, runs, ok);
        char ratio[16] = "-";
        if (r.wireMs > 0) std::snprintf(ratio, sizeof ratio, "%.3f", r.measuredMs / r.wireMs);
        const Limit limit = network ? NetworkLimit(c, r.wireMs) : c.limit;
        char text[32] = "-";
        bool within = true;
        if (limit.ratio > 0) {
            std::snprintf(text, sizeof text, "%.2f x wire", limit.ratio);
            within = r.measuredMs <= limit.ratio * r.wireMs;
        } else if (limit.plusMs > 0) {
            std::snprintf(text, sizeof text, "wire + %.1f ms", limit.plusMs);
            within = r.measuredMs <= r.wireMs + limit.plusMs;
        }
        std::printf("%-32s %7.2f ms %7.2f ms %8s  %-14s %s%s\n", c.name, r.measuredMs, r.wireMs, ratio, text,
                    within ? "ok" : "OVER", ok ? "" : " FAILED");
        allOk = allOk && ok;
        withinLimit = withinLimit && within;
    }
    return withinLimit;
}

std::vector<Case> Cases(Bytes& panel, Bytes& gamma, Bytes& modes, Bytes& back) {
    const int slot = 1;
    // Each case opens and closes the port itself, as one tool command does.
    auto command = [](const std::function<bool()>& body) {
        return [body] {
            if (!OpenPort()) return false;
            bool ok = body();
            CloseSerialCommunication();
            return ok;
        };
    };
    auto same = [&back](const Bytes& written, std::size_t count) {
        return std::equal(written.begin(), written.begin() + static_cast<long>(count), back.begin());
    };
    return {
        {"open + close", command([] { return true; }), {0, 5.0}},
        {"close of an idle open link",
         [] {
             CloseSerialCommunication();
             return true;
         },
         {0, 2.0},
         [] {
             bool ok = OpenPort();
             std::this_thread::sleep_for(
                 std::chrono::milliseconds(23));  // the receive thread waits, mid-period for a poller
             return ok;
         }},
        {"register round trip", command([] { return Vantrel_ReadRegister(0, 0x0010) >= 0; }), {0, 5.0}},
        {"panel write, no gamma, verify",
         command([&panel, &back, same] {
             bool ok = Vantrel_WritePanelData(0, slot, panel.data()) == 0 &&
                       Vantrel_GetPanelData(0, slot, back.data()) == 0 && same(panel, 64);
             Vantrel_Reset(0);
             return ok;
         }),
         {1.15, 0},
         nullptr,
         true},
        {"panel write, gamma, verify",
         command([&panel, &gamma, &back, same] {
             bool ok = Vantrel_WritePanelData(0, slot, panel.data()) == 0 &&
                       Vantrel_WritePanelGamma(0, slot, gamma.data()) == 0 &&
                       Vantrel_GetPanelData(0, slot, back.data()) == 0 && same(panel, 64) &&
                       Vantrel_GetPanelGamma(0, slot, back.data()) == 0 && same(gamma, 256);
             Vantrel_Reset(0);
             return ok;
         }),
         {1.05, 0},
         nullptr,
         true},
        {"mode table write, verify",
         command([&modes, &back, same] {
             bool ok = Vantrel_WriteModeTable(0, modes.data()) == 0 && Vantrel_GetModeTable(0, back.data()) == 0 &&
                       same(modes, 768);
             Vantrel_Reset(0);
             return ok;
         }),
         {1.05, 0},
         nullptr,
         true},
        {"mode table read",
         command([&back] { return Vantrel_GetModeTable(0, back.data()) == 0; }),
         {1.05, 0},
         nullptr,
         true},
    };
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 7;
    if (argc > 1) runs = std::max(1, std::atoi(argv[1]));

    vantrel_board::Options options;
    options.baud = kBaud;
    options.record = true;  // the bytes received give the wire time
    vantrel_board::Board board(options);
    if (!board.Start()) {
        std::fprintf(stderr, "vantrel-bench: cannot start the emulated board: %s\n", board.LastError().c_str());
        return 2;
    }
    setenv("VANTREL_COM1", board.SlavePath().c_str(), 1);
    if (!OpenPort()) {
        std::fprintf(stderr, "vantrel-bench: cannot open %s\n", board.SlavePath().c_str());
        return 2;
    }
    CloseSerialCommunication();

    Bytes panel(64), gamma(256), modes(768), back(768);
    for (std::size_t i = 0; i < panel.size(); ++i) panel[i] = static_cast<std::uint8_t>(i * 5 + 1);
    for (std::size_t i = 0; i < gamma.size(); ++i) gamma[i] = static_cast<std::uint8_t>(255 - i);
    for (std::size_t i = 0; i < modes.size(); ++i) modes[i] = static_cast<std::uint8_t>(i * 3 + 7);
    const std::vector<Case> cases = Cases(panel, gamma, modes, back);

    std::printf("vantrel-bench: median of %d runs at %u baud; port opened and closed in every run\n", runs, kBaud);
    bool allOk = true;
    bool withinLimit = RunCases(board, cases, runs, false, allOk);
    if (linktest::Ser2netInstalled()) {
        for (bool rfc2217 : {true, false}) {
            linktest::Ser2net server(board.SlavePath(), rfc2217);
            if (!server.Ready()) {
                std::fprintf(stderr, "vantrel-bench: ser2net did not start\n");
                return 2;
            }
            setenv("VANTREL_COM1", server.Name().c_str(), 1);
            std::printf("\nthrough ser2net on the loopback, %s (connect and close in every run)\n",
                        server.Name().c_str());
            withinLimit = RunCases(board, cases, runs, true, allOk) && withinLimit;
        }
    } else {
        std::printf("\nser2net is not installed: no figures through the network\n");
    }
    board.Stop();
    if (!allOk) return 1;
    return withinLimit ? 0 : 3;
}
