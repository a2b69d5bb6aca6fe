// Helpers shared by the parts of the emulated board.
#ifndef VANTREL_BOARD_INTERNAL_H
#define VANTREL_BOARD_INTERNAL_H

#include "vantrel_board/board.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace vantrel_board {

using Clock = std::chrono::steady_clock;

// Answers waiting for the line: more than a real board's transmit buffer holds.
constexpr std::size_t kMaxQueuedAnswers = 64;
// Raw answers queued by a test.
constexpr std::size_t kMaxRawAnswers = 1024;
// Action codes remembered.
constexpr std::size_t kMaxActions = 256;

inline std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Request fields; a field past the end of the data reads as 0.
inline uint16_t Get16(const std::vector<uint8_t>& d, std::size_t at) {
    uint16_t hi = at < d.size() ? d[at] : 0;
    uint16_t lo = at + 1 < d.size() ? d[at + 1] : 0;
    return static_cast<uint16_t>(hi << 8 | lo);
}

inline uint8_t Get8(const std::vector<uint8_t>& d, std::size_t at) { return at < d.size() ? d[at] : 0; }

inline void Append16(std::vector<uint8_t>& d, uint16_t v) {
    d.push_back(static_cast<uint8_t>(v >> 8));
    d.push_back(static_cast<uint8_t>(v));
}

const char* CommandName(uint8_t command);

}  // namespace vantrel_board

#endif  // VANTREL_BOARD_INTERNAL_H
