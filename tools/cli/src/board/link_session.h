// What every board command shares: the link opened for one command, the
// progress bar drawn from the library's callback, and the messages for a
// port that does not open, a transfer that fails and a verify that differs.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "board/board_commands.h"
#include "tolvane/records.h"
#include "vantrel.h"

namespace cli {

inline constexpr uint32_t kBaud = 57600;
inline constexpr uint32_t kPanelImageBase = VANTREL_PANEL_IMAGE_BASE;
inline constexpr uint32_t kGammaBase = VANTREL_GAMMA_BASE;
inline constexpr uint32_t kModeTableBase = VANTREL_MODE_TABLE_BASE;
inline constexpr uint8_t kImageUseGamma = 0x10;  // bit 4 of image byte 0x3A

// The block transfer running now: its bar (err is null when none is drawn) and
// the bytes the board has confirmed so far, from the library's progress calls.
struct ProgressState {
    std::ostream* err = nullptr;
    std::string label;
    unsigned done = 0;
};
extern ProgressState g_progress;

void DrawBar(unsigned total, unsigned done);

// One block transfer under the bar (when there is one). The progress callback
// is set for every transfer, so that a failed one tells how far it came.
class Bar {
public:
    Bar(Output& o, std::string label, unsigned total);
    ~Bar();
    Bar(const Bar&) = delete;
    Bar& operator=(const Bar&) = delete;
    int Done(int result) {
        ok_ = result >= 0;
        return result;
    }
    // Bytes the board confirmed: all after success, else those of the chunks
    // before the one that failed.
    unsigned Confirmed() const;

private:
    unsigned total_;
    bool ok_ = false;
};

// The link for one command: opened at the start, closed on every way out.
class Link {
public:
    explicit Link(const BoardTarget& t);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_ = false;
};

// The target with --device applied: it stands for port 1.
BoardTarget Effective(const BoardTarget& t);

int PortFailed(const BoardTarget& t, Output& o);
int TransferFailed(const BoardTarget& t, Output& o, const std::string& what, int result);

std::string Hex2(unsigned v);
std::string Hex4(unsigned v);

bool ImageUsesGamma(const PanelImage& image);

// The record of a panel slot read from the board, as a file keeps it.
PanelRecord RecordFromBoard(const PanelImage& image, const GammaTable& gamma, bool gotGamma);

// One byte that the read-back found different from what was written.
struct ByteDifference {
    std::string block;  // "panel image", "gamma table", "mode table"
    unsigned offset = 0;
    uint32_t flashAddress = 0;
    uint8_t wrote = 0;
    uint8_t readBack = 0;
};

// The differing bytes of a block, named by their place in the block and in flash.
std::vector<ByteDifference> CompareBlock(const char* block, uint32_t flashBase, const uint8_t* wrote,
                                         const uint8_t* read, std::size_t n);
int VerifyFailed(Output& o, const std::vector<ByteDifference>& diffs);

}  // namespace cli
