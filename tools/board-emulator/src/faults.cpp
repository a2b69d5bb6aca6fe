// What goes back for one request: the board's own answer, an answer a test
// chose (hook, queued raw answer), or an answer with an injected fault.
#include "board_internal.h"

#include <cstdio>

namespace vantrel_board {

void Board::HandleFrame(const Frame& frame, Clock::time_point lineTime) {
    Board* const target = frame.address == kBroadcastAddress ? nullptr : Device(frame.address);
    const bool forUs = target != nullptr;
    const bool broadcast = frame.address == kBroadcastAddress;
    if (options_.verbose) {
        std::string line = "rx " + HexBytes(EncodeFrame(frame.address, frame.command, frame.data));
        if (!frame.checksumOk) {
            char buf[64];
            std::snprintf(buf, sizeof buf, " (checksum %02X wrong, ignored)", frame.checksum);
            line += buf;
        } else {
            line += std::string("  ") + CommandName(frame.command);
            if (!forUs && !broadcast) line += ", other device";
            else if (broadcast) line += ", broadcast";
        }
        Log(line);
    }
    if (!frame.checksumOk || (!forUs && !broadcast)) return;

    bool isWriteEcho = false;
    uint64_t number;
    Faults faults;
    AnswerHook hook;
    std::optional<std::vector<uint8_t>> answerData;
    {
        std::lock_guard lock(mutex_);
        number = ++executed_;
        ++commandCounts_[frame.command];
        faults = faults_;
        hook = hook_;
        if (target == this || broadcast) answerData = Execute(frame, isWriteEcho);
        // A broadcast reaches every board on the line; only this one may answer it.
        for (auto& [a, other] : others_) {
            if (other.get() != target && !broadcast) continue;
            std::lock_guard otherLock(other->mutex_);
            bool echo = false;
            auto data = other->Execute(frame, echo);
            if (!broadcast) {
                answerData = std::move(data);
                isWriteEcho = echo;
            }
        }
    }
    const bool answers = forUs || options_.answerBroadcast;
    if (!answers || frame.command == kCmdReset) return;

    std::optional<std::vector<uint8_t>> raw;
    if (hook) raw = hook(frame);
    if (!raw) {
        std::lock_guard lock(mutex_);
        if (!rawAnswers_.empty()) {
            raw = std::move(rawAnswers_.front());
            rawAnswers_.pop_front();
        }
    }

    Clock::time_point notBefore = lineTime;
    if (faults.delayMs && (faults.delayFrame == 0 || faults.delayFrame == number))
        notBefore += std::chrono::milliseconds(faults.delayMs);
    if (!faults.noise.empty() && (faults.noiseFrame == 0 || faults.noiseFrame == number))
        Enqueue({notBefore, faults.noise, false});

    if (raw) {
        if (!raw->empty()) Enqueue({notBefore, std::move(*raw), true});
        return;
    }
    if (!answerData) return;  // a command the firmware does not answer
    if (faults.dropAnswerFrame == number) {
        if (options_.verbose) Log("fault: answer to frame " + std::to_string(number) + " dropped");
        return;
    }
    std::vector<uint8_t> data = std::move(*answerData);
    if (faults.oversizeFrame == number) {
        std::size_t from = data.size();
        data.resize(faults.oversizeLength);
        for (std::size_t i = from; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
    }
    // A write echo is address (2 bytes), count, then the chunk's data bytes.
    if (faults.alterEchoFrame == number && isWriteEcho && data.size() > 3) {
        std::size_t at = 3 + std::min<std::size_t>(faults.alterEchoIndex, data.size() - 4);
        data[at] ^= 0xFF;
    }
    std::vector<uint8_t> bytes = EncodeFrame(forUs ? frame.address : options_.address, frame.command, data);
    if (faults.badChecksumFrame == number) bytes.back() = static_cast<uint8_t>(bytes.back() + 1);
    if (faults.garbleFrame == number)
        bytes[faults.garbleOffset % bytes.size()] ^= faults.garbleMask ? faults.garbleMask : 0x5A;
    Enqueue({notBefore, std::move(bytes), true});
}

void Board::SetFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

Faults Board::GetFaults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void Board::SetAnswerHook(AnswerHook hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

void Board::QueueRawAnswer(std::vector<uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (rawAnswers_.size() < kMaxRawAnswers) rawAnswers_.push_back(std::move(bytes));
}

void Board::SendRaw(std::vector<uint8_t> bytes) { Enqueue({Clock::now(), std::move(bytes), false}); }

}  // namespace vantrel_board
