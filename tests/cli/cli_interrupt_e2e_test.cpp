// Ctrl-C during a board write: the transfer on the wire ends, and the tool
// then says what the board holds instead of dying in the middle of a block.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "board_fixture.h"
#include "tolvane/files.h"
#include "tolvane/panel.h"
#include "valid_panel.h"

extern char** environ;

namespace clitest {
namespace {

class Interrupt : public EmulatedBoardTest {};

TEST_F(Interrupt, APanelWriteStoppedByCtrlCEndsItsBlockAndSaysWhatTheBoardHolds) {
    PanelRecord r = ValidPanel("STOP");
    SetPanelFlag(r, kUseGamma, true);
    for (int i = 0; i < 256; ++i) r.gammaTable.level[i] = static_cast<uint8_t>(255 - i);
    ASSERT_TRUE(WritePanelFile(P("p.PNL"), r));
    vantrel_board::Faults slow;
    slow.delayMs = 15;  // 20 chunks: about 0.3 s for the image and its gamma table
    board_->SetFaults(slow);

    std::vector<std::string> args = {TOLVANE2_CLI_PROGRAM, "--device", board_->SlavePath(), "panel",
                                     "write",              P("p.PNL"),   "3",  "--verify"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string err = P("err");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);

    const uint64_t start = board_->CommandCount(vantrel_board::kCmdWriteFlash);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (board_->CommandCount(vantrel_board::kCmdWriteFlash) < start + 2 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(kill(pid, SIGINT), 0);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal: " << ReadText(err);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string said = ReadText(err);
    EXPECT_NE(said.find("stopped by Ctrl-C after the write: Panel 3 on the board is complete but was not verified "
                        "or reset"),
              std::string::npos)
        << said;
    // What it says is true: the whole slot is on the board, and no reset came.
    PanelImage image{};
    GammaTable gamma{};
    PanelRecordToImage(r, image, gamma);
    EXPECT_EQ(board_->Flash(0xFB80, 64), Bytes(image.bytes, image.bytes + 64));
    EXPECT_EQ(board_->Flash(0xF900, 256), Bytes(gamma.level, gamma.level + 256));
    EXPECT_EQ(board_->ResetCount(), 0u);
}

}  // namespace
}  // namespace clitest
