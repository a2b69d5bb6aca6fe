// Frames on the line: encoding, the board's request parser, and the record of
// what the host sent.
#include "board_internal.h"

#include <algorithm>
#include <cstdio>

namespace vantrel_board {

const char* CommandName(uint8_t command) {
    switch (command) {
        case kCmdReset:
            return "reset";
        case kCmdReadRegister:
            return "read register";
        case kCmdWriteRegister:
            return "write register";
        case kCmdReadI2c:
            return "read i2c";
        case kCmdWriteI2c:
            return "write i2c";
        case kCmdReadPort:
            return "read port";
        case kCmdWritePort:
            return "write port";
        case kCmdWriteFlash:
            return "write flash";
        case kCmdReadFlash:
            return "read flash";
        case kCmdReadAdjuster:
            return "read adjuster";
        case kCmdSetAdjuster:
            return "set adjuster";
        case kCmdGetAdjColor:
            return "get adjustment colour";
        case kCmdSetAdjColor:
            return "set adjustment colour";
        case kCmdReadSwitch:
            return "read switch";
        case kCmdSetSwitch:
            return "set switch";
        case kCmdCurrentPanel:
            return "current panel";
        case kCmdPanelInfo:
            return "panel info";
        case kCmdModeInfo:
            return "mode info";
        case kCmdVersion:
            return "version";
        case kCmdShowString:
            return "show string";
        case kCmdHideString:
            return "hide string";
        case kCmdCallAction:
            return "call action";
        case kCmdReadNvRam:
            return "read nvram";
        case kCmdWriteNvRam:
            return "write nvram";
        case kCmdDebugFlags:
            return "debug flags";
        default:
            return "unknown command";
    }
}

uint8_t FrameChecksum(uint8_t address, uint8_t command, const std::vector<uint8_t>& data) {
    unsigned sum = address + command + static_cast<uint8_t>(data.size());
    for (uint8_t b : data) sum += b;
    return static_cast<uint8_t>(sum);
}

std::vector<uint8_t> EncodeFrame(uint8_t address, uint8_t command, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    out.reserve(data.size() + 5);
    out.push_back(kFrameStart);
    out.push_back(address);
    out.push_back(command);
    out.push_back(static_cast<uint8_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(FrameChecksum(address, command, data));
    return out;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    std::string s;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i) s += ' ';
        s += buf;
    }
    return s;
}

// Called on the reader thread with each chunk read off the line.
void Board::RecordBytes(const uint8_t* bytes, std::size_t count) {
    if (!options_.record) return;
    std::lock_guard lock(mutex_);
    received_.insert(received_.end(), bytes, bytes + count);
    const std::size_t limit = 64 * std::max<std::size_t>(options_.recordLimit, 1);
    if (received_.size() > limit) received_.erase(received_.begin(), received_.begin() + (received_.size() - limit));
}

void Board::ParseByte(uint8_t byte, Clock::time_point lineTime) {
    switch (parseState_) {
        case ParseState::Idle:
            // Bytes outside a frame are line noise to the board.
            if (byte == kFrameStart) {
                current_ = Frame{};
                parseState_ = ParseState::Address;
            }
            break;
        case ParseState::Address:
            current_.address = byte;
            parseState_ = ParseState::Command;
            break;
        case ParseState::Command:
            current_.command = byte;
            parseState_ = ParseState::Length;
            break;
        case ParseState::Length:
            expected_ = byte;
            current_.data.reserve(byte);
            parseState_ = byte ? ParseState::Data : ParseState::Checksum;
            break;
        case ParseState::Data:
            current_.data.push_back(byte);
            if (current_.data.size() == expected_) parseState_ = ParseState::Checksum;
            break;
        case ParseState::Checksum:
            current_.checksum = byte;
            current_.checksumOk = byte == FrameChecksum(current_.address, current_.command, current_.data);
            parseState_ = ParseState::Idle;
            if (options_.record) {
                std::lock_guard lock(mutex_);
                frames_.push_back(current_);
                if (frames_.size() > std::max<std::size_t>(options_.recordLimit, 1)) frames_.pop_front();
            }
            changed_.notify_all();
            HandleFrame(current_, lineTime);
            break;
    }
}

std::vector<uint8_t> Board::ReceivedBytes() const {
    std::lock_guard lock(mutex_);
    return std::vector<uint8_t>(received_.begin(), received_.end());
}

std::vector<Frame> Board::ReceivedFrames() const {
    std::lock_guard lock(mutex_);
    return std::vector<Frame>(frames_.begin(), frames_.end());
}

uint64_t Board::ExecutedFrameCount() const {
    std::lock_guard lock(mutex_);
    return executed_;
}

std::array<uint64_t, 256> Board::CommandCounts() const {
    std::lock_guard lock(mutex_);
    return commandCounts_;
}

void Board::ClearRecord() {
    std::lock_guard lock(mutex_);
    received_.clear();
    frames_.clear();
}

bool Board::WaitForFrames(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return frames_.size() >= n; });
}

}  // namespace vantrel_board
