// Opening and closing the port, the receive thread, raw sending.
//
// Each Open starts a Session: the device, the receive thread's buffer and its
// stop request. Close asks the thread to stop and waits for it a bounded time:
// a receive handler that blocks cannot hold Close (or the process's exit) for
// longer. A thread that does not finish in time is left to end on its own: its
// port is given back to the system at once (the descriptor it holds then
// means nothing), while the Session it still reads stays alive until it ends.
// Close called by the receive handler itself only asks the thread to stop; the
// next Open or Close finishes it.
#include "link_state.h"

#include <algorithm>
#include <chrono>

namespace vantrel {

LinkState& Link() {
    static LinkState state;
    return state;
}

bool IsLinkOpen() { return Link().open.load(std::memory_order_acquire); }

void WakeWaitingCaller() {
    LinkState& link = Link();
    {
        // Taking the mutex orders the wake-up against a caller that is just
        // about to wait, so the wake-up cannot be lost.
        std::lock_guard<std::mutex> lock(link.answerMutex);
    }
    link.answerArrived.notify_all();
}

namespace {

// The session a receive thread serves; null on every other thread.
thread_local Session* tServedSession = nullptr;

void MarkDone(Session& session) {
    {
        std::lock_guard<std::mutex> lock(session.doneMutex);
        session.done = true;
    }
    session.doneChanged.notify_all();
}

// Takes in the bytes one Receive brought: through the frame parser, and the
// bytes outside frames to the receive handler; or, while the line is suspect
// after a failed transaction, nowhere.
void TakeIn(LinkState& link, Session& session, long count) {
    bool discarded = false;
    for (long i = 0; i < count; ++i) {
        if (session.stop.load(std::memory_order_acquire)) break;
        const std::uint32_t epoch = link.parserEpoch.load(std::memory_order_acquire);
        if (epoch != session.parserEpoch) {
            link.parser = FrameParser{};
            session.parserEpoch = epoch;
        }
        if (link.discarding.load(std::memory_order_acquire)) {
            discarded = true;
            continue;
        }
        int outside = FeedReceivedByte(session.readBuffer[static_cast<std::size_t>(i)]);
        if (outside < 0) continue;
        if (VantrelReceiveHandler handler = link.receiveHandler.load(std::memory_order_acquire))
            handler(static_cast<std::uint8_t>(outside));
    }
    if (discarded)
        link.discardedAt.store(std::chrono::steady_clock::now().time_since_epoch().count(), std::memory_order_release);
}

void ReceiveLoop(std::shared_ptr<Session> session) {
    tServedSession = session.get();
    LinkState& link = Link();
    SerialDevice& device = *session->device;
    while (!session->stop.load(std::memory_order_acquire)) {
        // Returns as soon as bytes arrive, the line fails or Close wakes it.
        long got = device.Receive(session->readBuffer.data(), kReadChunk, kReceiveWaitMs);
        if (session->stop.load(std::memory_order_acquire)) break;
        if (got < 0) {
            // Stop waiting: a dead line would report itself at once on every
            // wait. Transactions on it fail at once until Close.
            session->lineDead.store(true, std::memory_order_release);
            WakeWaitingCaller();
            break;
        }
        TakeIn(link, *session, got);
    }
    tServedSession = nullptr;
    MarkDone(*session);
}

// Stops the current session's thread and frees what it used; on the caller's
// thread only. Waits at most kCloseWaitMs for a thread that is inside the
// receive handler.
void FinishSession(LinkState& link) {
    link.open.store(false, std::memory_order_release);
    std::shared_ptr<Session> session = std::move(link.session);
    link.current.store(nullptr, std::memory_order_release);
    if (!session) return;
    session->stop.store(true, std::memory_order_release);
    session->device->Interrupt();
    bool done;
    {
        std::unique_lock<std::mutex> lock(session->doneMutex);
        done = session->doneChanged.wait_for(lock, std::chrono::milliseconds(kCloseWaitMs),
                                             [&session] { return session->done; });
    }
    if (link.receiveThread.joinable()) {
#if defined(_WIN32)
        // A finished thread still has to pass the loader lock to exit, which
        // an unloading library holds: waiting for that could deadlock.
        const bool join = false;
#else
        const bool join = done;
#endif
        if (join) {
            link.receiveThread.join();
        } else {
            if (!done) session->device->Release();
            link.receiveThread.detach();
        }
    }
    // A thread left behind keeps its own reference to the session.
}

// Close called on a receive thread, i.e. from the receive handler: it cannot
// wait for itself. The link counts as closed at once; the thread ends when
// the handler returns, and the next Open or Close releases the port.
void RequestStopFromReceiveThread(LinkState& link) {
    Session* served = tServedSession;
    served->stop.store(true, std::memory_order_release);
    served->device->Interrupt();
    if (link.current.load(std::memory_order_acquire) == served) link.open.store(false, std::memory_order_release);
    WakeWaitingCaller();
}

}  // namespace

LinkState::~LinkState() {
    // The process ends or the library is unloaded with the link open. A
    // joinable std::thread here would end the process with std::terminate.
    if (tServedSession != nullptr) {
        // exit() called from the receive handler.
        tServedSession->stop.store(true, std::memory_order_release);
        if (receiveThread.joinable()) receiveThread.detach();
        return;
    }
    FinishSession(*this);
}

}  // namespace vantrel

using namespace vantrel;

extern "C" {

VANTREL_API int32_t VANTREL_CALL OpenSerialCommunication(uint16_t port, uint32_t baud) {
    if (port < 1 || port > 4) return 0;
    if (baud != 9600 && baud != 19200 && baud != 38400 && baud != 57600) return 0;
    if (tServedSession != nullptr) return 0;  // not from the receive handler: it cannot finish its own thread
    LinkState& link = Link();
    if (link.open.load(std::memory_order_acquire)) return 0;
    // A link closed from its receive handler: finish that thread first.
    FinishSession(link);

    auto session = std::make_shared<Session>();
    session->device = OpenSerialDevice(SerialDevicePath(port), baud);
    if (!session->device) return 0;

    // A new session starts with a clean parser: a frame cut off by the last
    // Close must not swallow the first answer of this one.
    link.parser = FrameParser{};
    link.completion.store(kNoAnswer, std::memory_order_release);
    link.answerLength.store(0, std::memory_order_release);
    link.discarding.store(false, std::memory_order_release);
    link.quietDue = false;
    session->parserEpoch = link.parserEpoch.load(std::memory_order_acquire);
    try {
        link.receiveThread = std::thread(ReceiveLoop, session);
    } catch (...) {
        return 0;
    }
    link.current.store(session.get(), std::memory_order_release);
    link.session = std::move(session);
    link.open.store(true, std::memory_order_release);
    return 1;
}

VANTREL_API void VANTREL_CALL CloseSerialCommunication(void) {
    LinkState& link = Link();
    if (tServedSession != nullptr) {
        RequestStopFromReceiveThread(link);
        return;
    }
    FinishSession(link);
}

VANTREL_API void VANTREL_CALL SerialSendBuffer(const uint8_t* bytes, uint32_t count) {
    if (!IsLinkOpen() || bytes == nullptr) return;
    Session* session = Link().current.load(std::memory_order_acquire);
    if (session == nullptr || session->lineDead.load(std::memory_order_acquire)) return;
    session->device->Write(bytes, count & 0xFFFF);
}

VANTREL_API VantrelReceiveHandler VANTREL_CALL SetSerialReceiveHandler(VantrelReceiveHandler handler) {
    Link().receiveHandler.store(handler, std::memory_order_release);
    return handler;
}

}  // extern "C"
