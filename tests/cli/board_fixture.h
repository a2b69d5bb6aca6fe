// The emulated board on a real pseudo-terminal for the tests of the board
// commands: tolvane2-cli runs in-process with --device pointed at it.
#pragma once

#include "cli_harness.h"

#include <memory>

#include <nlohmann/json.hpp>

#include "vantrel_board/board.h"

namespace clitest {

class EmulatedBoardTest : public TempDirTest {
protected:
    // 0: the board answers at once; otherwise its line is paced at `baud`.
    explicit EmulatedBoardTest(uint32_t baud = 0) : baud_(baud) {}

    void SetUp() override {
        TempDirTest::SetUp();
        vantrel_board::Options options;
        options.baud = baud_;
        board_ = std::make_unique<vantrel_board::Board>(options);
        ASSERT_TRUE(board_->Start()) << board_->LastError();
    }
    void TearDown() override {
        board_->Stop();
        TempDirTest::TearDown();
    }

    Result OnBoard(std::vector<std::string> args) {
        args.insert(args.begin(), {"--device", board_->SlavePath()});
        return Cli(args);
    }

    std::size_t FramesOf(uint8_t command) const {
        std::size_t n = 0;
        for (const auto& f : board_->ReceivedFrames()) n += f.command == command;
        return n;
    }
    std::size_t WriteFrames() const { return FramesOf(vantrel_board::kCmdWriteFlash); }

    const uint32_t baud_;
    std::unique_ptr<vantrel_board::Board> board_;
};

inline std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> w;
    std::string cur;
    for (char c : line) {
        if (c == ' ') {
            if (!cur.empty()) w.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) w.push_back(cur);
    return w;
}

}  // namespace clitest
