// The one process-wide link: the port, its receive thread, the frame parser
// and the exchange buffer through which every command passes its data.
//
// Two threads share this state: the caller's thread (every export) and the
// receive thread. What both touch is atomic: the open mark and stop request,
// the handler pointers, the completion value (release by the writer, acquire
// by the reader: the answer bytes written before it are visible after it) and
// the exchange buffer's bytes (relaxed; their order is given by completion).
// The parser fields belong to the receive thread alone.
#pragma once

#include "serial_device.h"
#include "vantrel.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace vantrel {

constexpr std::size_t kExchangeSize = 32;
constexpr std::size_t kReadChunk = 256;
// The receive thread waits for the line without a period of its own: bytes,
// a hang-up and Close's wake-up end the wait. This limit only bounds one wait.
constexpr int kReceiveWaitMs = 1000;
// After a failed transaction the next one waits until no byte has arrived for
// this long (and at most the failed one's time-out), discarding what comes.
constexpr int kQuietMs = 250;

enum class ParserState : std::uint8_t { Idle, Address, Command, Length, Data, Checksum };

enum Completion : std::uint8_t { kNoAnswer = 0, kBadAnswer = 1, kGoodAnswer = 2 };

struct FrameParser {
    ParserState state = ParserState::Idle;
    std::uint8_t dataIndex = 0;
    std::uint8_t runningSum = 0;
    std::uint8_t answerLength = 0;
    std::uint8_t address = 0;  // of the frame being received, for the probe
    std::uint8_t command = 0;
};

// One open port and the receive thread that serves it. The thread holds its
// own reference, so a thread that Close had to leave behind (stuck in a
// receive handler) never sees its port or buffer freed under it.
struct Session {
    std::unique_ptr<SerialDevice> device;
    std::array<std::uint8_t, kReadChunk> readBuffer{};
    std::atomic<bool> stop{false};      // set by Close; the thread ends at its next step
    std::atomic<bool> lineDead{false};  // the line hung up or failed: no more polling
    std::uint32_t parserEpoch = 0;      // the receive thread's copy of LinkState::parserEpoch
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool done = false;  // the thread touches nothing of the link any more
};

struct LinkState {
    // Stops the receive thread when the process ends or the library is
    // unloaded with the link still open.
    ~LinkState();

    std::shared_ptr<Session> session;  // the caller's thread alone changes it
    std::atomic<Session*> current{nullptr};
    std::thread receiveThread;
    std::atomic<bool> open{false};
    std::atomic<VantrelReceiveHandler> receiveHandler{nullptr};
    std::atomic<VantrelProgressCallback> progressCallback{nullptr};

    FrameParser parser;
    // A failed transaction leaves the line suspect: what arrives after it is
    // discarded (not parsed, not handed to the receive handler) until the
    // next transaction has seen the line go quiet. parserEpoch counts the
    // requests to start the frame parser afresh; the receive thread does so
    // before its next byte. discardedAt: the steady clock's count when the
    // last discarded bytes came (or the failure happened).
    std::atomic<bool> discarding{false};
    std::atomic<std::uint32_t> parserEpoch{0};
    std::atomic<std::int64_t> discardedAt{0};
    // The caller's thread alone: a quiet wait is due before the next request,
    // bounded by the failed transaction's time-out.
    bool quietDue = false;
    std::uint32_t quietBoundMs = 0;

    std::atomic<std::uint8_t> completion{kNoAnswer};
    std::atomic<std::uint8_t> answerLength{0};  // of the last complete answer, stored before completion
    std::array<std::atomic<std::uint8_t>, kExchangeSize> exchange{};

    // The probe's own hand-over: it accepts only the version answer of the
    // device it asked, so that a late answer of another device cannot pass
    // for one. probeAddress is -1 while no probe waits.
    std::atomic<int> probeAddress{-1};
    std::atomic<bool> probeHit{false};
    std::array<std::atomic<std::uint8_t>, 2> probeVersion{};

    // Wakes the waiting caller as soon as an answer is complete or the line
    // is lost; the answer itself is handed over through completion alone.
    std::mutex answerMutex;
    std::condition_variable answerArrived;
};

// How long Close waits for the receive thread, which may be inside the
// receive handler, before it gives the port back without it.
constexpr int kCloseWaitMs = 500;

LinkState& Link();

bool IsLinkOpen();

// One parser step for a received byte: -1 when the byte belongs to a frame,
// else the byte's value (it arrived outside a frame).
int FeedReceivedByte(std::uint8_t byte);

// Sends the first length bytes of the exchange buffer as one request frame
// and, but for command 0, waits for one answer frame. true: a correct answer
// arrived (command 0: the request was written) that holds at least
// answerNeeded data bytes. Fails at once on a closed or dead line.
bool RunTransaction(std::uint8_t address, std::uint8_t command, std::uint8_t length, std::uint32_t timeoutMs,
                    std::uint8_t answerNeeded = 0);

// Sends a version request to one device and waits at most timeoutMs for the
// version answer of that same device; other frames that arrive meanwhile are
// ignored. true: it answered, its two version bytes are in version.
bool RunProbe(std::uint8_t address, std::uint32_t timeoutMs, std::uint8_t version[2]);

// Takes bytes in again after a failed transaction (see LinkState::discarding).
void EndQuiet(LinkState& link);

// Wakes a caller that waits for an answer, to look at the line again.
void WakeWaitingCaller();

// Exchange buffer access for the commands.
inline void PutByte(std::size_t position, std::uint32_t value) {
    Link().exchange[position].store(static_cast<std::uint8_t>(value), std::memory_order_relaxed);
}
inline std::uint8_t GetByte(std::size_t position) { return Link().exchange[position].load(std::memory_order_relaxed); }
// 16-bit quantities in frames are big-endian: high byte first.
inline void PutBigEndian16(std::size_t position, std::uint32_t value) {
    PutByte(position, (value >> 8) & 0xFF);
    PutByte(position + 1, value & 0xFF);
}
inline std::uint16_t GetBigEndian16(std::size_t position) {
    return static_cast<std::uint16_t>(GetByte(position) * 256 + GetByte(position + 1));
}

}  // namespace vantrel
