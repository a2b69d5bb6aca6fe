// How long `panel write --verify` and `modes write --verify` take against a
// board paced at 57600 baud, beside the wire time of the write alone (every
// request and answer byte of the write, 10 bits a byte). Prints the figures;
// fails only when a command takes far longer than its bytes need (as a
// time-out on the way would), not on a loaded machine's slower run.
#include "board_fixture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"
#include "vantrel_board/board.h"

using namespace clitest;

namespace {

constexpr double kBaud = 57600;

// A 16-byte flash write: request BB, address, command, length, 2 address
// bytes, count, 16 data bytes, checksum; the answer echoes it.
double WriteWireMs(unsigned bytes) {
    const unsigned chunks = (bytes + 15) / 16;
    return chunks * 2 * (4 + 3 + 16 + 1) * 10 * 1000.0 / kBaud;
}

class CliTiming : public EmulatedBoardTest {
protected:
    CliTiming() : EmulatedBoardTest(57600) {}

    // Median of a few runs, in milliseconds.
    double Time(const std::vector<std::string>& args) {
        std::vector<double> ms;
        for (int run = 0; run < 3; ++run) {
            board_->WaitUntilSent(std::chrono::seconds(2));
            const auto start = std::chrono::steady_clock::now();
            const Result r = OnBoard(args);
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            EXPECT_EQ(r.code, 0) << r.err;
        }
        std::sort(ms.begin(), ms.end());
        return ms[1];
    }

    // A measured figure beside its goal. The bound is wide on purpose: a
    // loaded machine must not turn a correct write into a failure, while a
    // time-out on the way still shows.
    void Report(const char* what, double ms, double wireMs) {
        std::printf("%-40s %7.1f ms, write wire time %6.1f ms, ratio %.2f (goal 1.75)\n", what, ms, wireMs,
                    ms / wireMs);
        EXPECT_LT(ms, 5.0 * wireMs + 1000.0) << what;
    }
};

}  // namespace

TEST_F(CliTiming, WriteWithVerifyAgainstTheWireTime) {
    ASSERT_EQ(OnBoard({"panel", "read", "1", "-o", P("p1.PNL")}).code, 0);
    ASSERT_EQ(OnBoard({"panel", "read", "2", "-o", P("p2.PNL")}).code, 0);
    ASSERT_EQ(OnBoard({"modes", "read", "-o", P("m.MOD")}).code, 0);

    Report("panel write --verify (64 bytes)", Time({"panel", "write", P("p1.PNL"), "1", "--verify", "--no-reset"}),
           WriteWireMs(64));
    Report("panel write --verify (64 + 256 bytes)",
           Time({"panel", "write", P("p2.PNL"), "2", "--verify", "--no-reset"}), WriteWireMs(64) + WriteWireMs(256));
    Report("modes write --verify (768 bytes)", Time({"modes", "write", P("m.MOD"), "--verify", "--no-reset"}),
           WriteWireMs(768));
    Report("modes write (768 bytes, no verify)", Time({"modes", "write", P("m.MOD"), "--no-reset"}), WriteWireMs(768));
}
