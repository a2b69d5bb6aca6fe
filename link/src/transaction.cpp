// Frames and transactions: the only place where frames are built or parsed.
//
// Frame, both directions: 0xBB, address, command, length n, n data bytes,
// checksum = (address + command + length + data) mod 256. No escaping.
#include "link_state.h"

#include <algorithm>
#include <chrono>

namespace vantrel {

namespace {
// The probe asks for the version: a harmless read that every board answers.
constexpr std::uint8_t kProbeCommand = 19;
}  // namespace

int FeedReceivedByte(std::uint8_t byte) {
    LinkState& link = Link();
    FrameParser& p = link.parser;
    switch (p.state) {
        case ParserState::Idle:
            if (byte != 0xBB) return byte;
            p.runningSum = 0;
            p.state = ParserState::Address;
            return -1;
        case ParserState::Address:
            // Address and command are not compared with the request's: the first
            // complete frame after the request decides the transaction.
            p.address = byte;
            p.runningSum = static_cast<std::uint8_t>(p.runningSum + byte);
            p.state = ParserState::Command;
            return -1;
        case ParserState::Command:
            p.command = byte;
            p.runningSum = static_cast<std::uint8_t>(p.runningSum + byte);
            p.state = ParserState::Length;
            return -1;
        case ParserState::Length:
            p.answerLength = byte;
            p.dataIndex = 0;
            p.runningSum = static_cast<std::uint8_t>(p.runningSum + byte);
            p.state = byte != 0 ? ParserState::Data : ParserState::Checksum;
            return -1;
        case ParserState::Data:
            // Bytes beyond the 32-byte exchange buffer have no place: they are
            // counted into the checksum and dropped, and the frame fails below.
            if (p.dataIndex < kExchangeSize) link.exchange[p.dataIndex].store(byte, std::memory_order_relaxed);
            ++p.dataIndex;
            p.runningSum = static_cast<std::uint8_t>(p.runningSum + byte);
            if (p.dataIndex == p.answerLength) p.state = ParserState::Checksum;
            return -1;
        case ParserState::Checksum: {
            bool good = byte == p.runningSum && p.answerLength <= kExchangeSize;
            p.state = ParserState::Idle;
            link.answerLength.store(p.answerLength, std::memory_order_relaxed);
            if (good && p.answerLength >= 2 && p.command == kProbeCommand &&
                link.probeAddress.load(std::memory_order_acquire) == p.address) {
                link.probeVersion[0].store(GetByte(0), std::memory_order_relaxed);
                link.probeVersion[1].store(GetByte(1), std::memory_order_relaxed);
                link.probeHit.store(true, std::memory_order_release);
            }
            link.completion.store(good ? kGoodAnswer : kBadAnswer, std::memory_order_release);
            WakeWaitingCaller();
            return -1;
        }
    }
    return -1;
}

namespace {

// The line cannot bring an answer any more: closed (also from the receive
// handler) or dead.
bool LineLost(const Session* session) { return !IsLinkOpen() || session->lineDead.load(std::memory_order_acquire); }

using Clock = std::chrono::steady_clock;

// A transaction failed: an answer to it may still be on its way, or the rest
// of a garbled one. From now on the receive thread discards what arrives and
// starts its frame parser afresh; the next transaction first waits for quiet.
// discarding is set before the epoch moves, so a receive thread that sees
// the new epoch also sees that it has to discard.
void LineSuspect(LinkState& link, std::uint32_t timeoutMs) {
    link.discardedAt.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
    link.discarding.store(true, std::memory_order_release);
    link.parserEpoch.fetch_add(1, std::memory_order_acq_rel);
    link.quietDue = true;
    link.quietBoundMs = timeoutMs;
}

// Lets the line go quiet after a failed transaction: waits until no byte has
// come for kQuietMs, at most the failed transaction's time-out, then takes
// bytes in again. Costs nothing when the caller took that long anyway.
void WaitForQuiet(LinkState& link, const Session* session) {
    const Clock::time_point bound = Clock::now() + std::chrono::milliseconds(link.quietBoundMs);
    for (;;) {
        const Clock::time_point last{Clock::duration(link.discardedAt.load(std::memory_order_acquire))};
        const Clock::time_point until = std::min(bound, last + std::chrono::milliseconds(kQuietMs));
        if (Clock::now() >= until || LineLost(session)) break;
        std::unique_lock<std::mutex> lock(link.answerMutex);
        link.answerArrived.wait_until(lock, until, [session] { return LineLost(session); });
    }
    EndQuiet(link);
}

}  // namespace

void EndQuiet(LinkState& link) {
    link.discarding.store(false, std::memory_order_release);
    link.quietDue = false;
}

bool RunTransaction(std::uint8_t address, std::uint8_t command, std::uint8_t length, std::uint32_t timeoutMs,
                    std::uint8_t answerNeeded) {
    if (!IsLinkOpen()) return false;
    LinkState& link = Link();
    const Session* session = link.current.load(std::memory_order_acquire);
    if (session == nullptr || LineLost(session)) return false;
    if (length > kExchangeSize) length = kExchangeSize;
    // A reset awaits no answer, so nothing can complete it: it need not wait.
    if (link.quietDue && command != 0) {
        WaitForQuiet(link, session);
        if (LineLost(session)) return false;
    }

    std::uint8_t frame[kExchangeSize + 5];
    frame[0] = 0xBB;
    frame[1] = address;
    frame[2] = command;
    frame[3] = length;
    std::uint8_t sum = static_cast<std::uint8_t>(address + command + length);
    for (std::size_t i = 0; i < length; ++i) {
        frame[4 + i] = GetByte(i);
        sum = static_cast<std::uint8_t>(sum + frame[4 + i]);
    }
    frame[4 + length] = sum;

    // Completion is cleared before the request goes out, so that an answer
    // that comes back while the write call is still returning is not lost.
    if (command != 0) link.completion.store(kNoAnswer, std::memory_order_release);
    SerialSendBuffer(frame, length + 5u);
    if (command == 0) return true;

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::uint8_t done = link.completion.load(std::memory_order_acquire);
        if (done != kNoAnswer) {
            // A command that reads data must not take the request's own
            // bytes, left where a short answer did not reach, as its result.
            if (done == kGoodAnswer && link.answerLength.load(std::memory_order_relaxed) >= answerNeeded) return true;
            LineSuspect(link, timeoutMs);
            return false;
        }
        if (LineLost(session)) return false;
        Clock::time_point now = Clock::now();
        if (now >= deadline) {
            link.completion.store(kNoAnswer, std::memory_order_release);
            LineSuspect(link, timeoutMs);
            return false;
        }
        // The receive thread wakes this wait when an answer is complete or
        // the line is lost.
        std::unique_lock<std::mutex> lock(link.answerMutex);
        link.answerArrived.wait_until(lock, deadline, [&link, session] {
            return link.completion.load(std::memory_order_acquire) != kNoAnswer || LineLost(session);
        });
    }
}

bool RunProbe(std::uint8_t address, std::uint32_t timeoutMs, std::uint8_t version[2]) {
    if (!IsLinkOpen()) return false;
    LinkState& link = Link();
    const Session* session = link.current.load(std::memory_order_acquire);
    if (session == nullptr || LineLost(session)) return false;

    // The probe takes only its own device's version answer, so it need not
    // wait for quiet after a failure; the parser was started afresh then.
    if (link.quietDue) EndQuiet(link);

    // Two placeholder data bytes, as the version command sends them.
    std::uint8_t frame[7] = {0xBB, address, kProbeCommand, 2, GetByte(0), GetByte(1), 0};
    frame[6] = static_cast<std::uint8_t>(address + kProbeCommand + 2 + frame[4] + frame[5]);

    link.probeHit.store(false, std::memory_order_release);
    link.probeAddress.store(address, std::memory_order_release);
    SerialSendBuffer(frame, sizeof frame);

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool hit = false;
    {
        std::unique_lock<std::mutex> lock(link.answerMutex);
        link.answerArrived.wait_until(lock, deadline, [&link, session] {
            return link.probeHit.load(std::memory_order_acquire) || LineLost(session);
        });
        hit = link.probeHit.load(std::memory_order_acquire);
    }
    link.probeAddress.store(-1, std::memory_order_release);
    if (!hit) {
        // Its answer may still come and would complete the next transaction.
        LineSuspect(link, timeoutMs);
        return false;
    }
    version[0] = link.probeVersion[0].load(std::memory_order_relaxed);
    version[1] = link.probeVersion[1].load(std::memory_order_relaxed);
    return true;
}

}  // namespace vantrel
