// Shared set-up of the link tests: an emulated board on a pseudo-terminal,
// COM1 pointed at it, and recorders for the receive handler and the progress
// callback. The library holds one process-wide link, so every test opens and
// closes it.
#ifndef TESTS_LINK_LINK_FIXTURE_H
#define TESTS_LINK_LINK_FIXTURE_H

#include "vantrel.h"
#include "vantrel_board/board.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace linktest {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using vantrel_board::Board;
using vantrel_board::EncodeFrame;
using vantrel_board::Frame;
using Clock = std::chrono::steady_clock;

// Bytes handed to the receive handler (on the receive thread).
struct HandlerRecord {
    std::mutex mutex;
    Bytes bytes;
};
inline HandlerRecord& Handled() {
    static HandlerRecord record;
    return record;
}
inline void VANTREL_CALL RecordByte(uint8_t byte) {
    std::lock_guard lock(Handled().mutex);
    Handled().bytes.push_back(byte);
}
inline Bytes HandledBytes() {
    std::lock_guard lock(Handled().mutex);
    return Handled().bytes;
}
inline void ClearHandled() {
    std::lock_guard lock(Handled().mutex);
    Handled().bytes.clear();
}
inline bool WaitForHandled(std::size_t count, std::chrono::milliseconds timeout = 1000ms) {
    auto deadline = Clock::now() + timeout;
    while (HandledBytes().size() < count) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Progress reports (on the caller's thread).
inline std::vector<std::pair<uint16_t, uint16_t>>& Progress() {
    static std::vector<std::pair<uint16_t, uint16_t>> reports;
    return reports;
}
inline void VANTREL_CALL RecordProgress(uint16_t total, uint16_t done) { Progress().emplace_back(total, done); }

// The reports a transfer of `total` bytes in 16-byte chunks makes.
inline std::vector<std::pair<uint16_t, uint16_t>> ExpectedProgress(unsigned total) {
    std::vector<std::pair<uint16_t, uint16_t>> out;
    for (unsigned done = 16; done < total; done += 16) out.emplace_back(total, done);
    return out;
}

inline double MsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

inline Bytes Pattern(std::size_t count, uint8_t seed) {
    Bytes out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(seed + 7 * i);
    return out;
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartBoard();
        ClearHandled();
        Progress().clear();
        SetSerialReceiveHandler(nullptr);
        Vantrel_SetProgressCallback(nullptr);
    }

    void TearDown() override {
        CloseSerialCommunication();
        SetSerialReceiveHandler(nullptr);
        Vantrel_SetProgressCallback(nullptr);
        board_.reset();
    }

    void StartBoard(vantrel_board::Options options = Unpaced()) {
        CloseSerialCommunication();
        board_ = std::make_unique<Board>(std::move(options));
        ASSERT_TRUE(board_->Start()) << board_->LastError();
        setenv("VANTREL_COM1", board_->SlavePath().c_str(), 1);
    }

    static vantrel_board::Options Unpaced() {
        vantrel_board::Options o;
        o.baud = 0;
        o.record = true;
        return o;
    }

    void Open() { ASSERT_EQ(OpenSerialCommunication(1, 57600), 1); }

    // The frames the board received so far, after the given number of frames arrived.
    std::vector<Frame> Frames(std::size_t atLeast = 0) {
        board_->WaitForFrames(atLeast, 1000ms);
        return board_->ReceivedFrames();
    }

    // The next executed request frame's number, for fault injection.
    uint64_t NextFrame() const { return board_->ExecutedFrameCount() + 1; }

    std::unique_ptr<Board> board_;
};

}  // namespace linktest

#endif  // TESTS_LINK_LINK_FIXTURE_H
