// Opening and closing the port, the receive thread, raw sending.
#include "link_state.h"

namespace vantrel {

LinkState &Link()
{
    static LinkState state;
    return state;
}

bool IsLinkOpen()
{
    return Link().open.load(std::memory_order_acquire);
}

namespace {

void ReceiveLoop()
{
    LinkState &link = Link();
    while (!link.stopRequest.load(std::memory_order_acquire)) {
        // Waits at most one poll interval; returns early when bytes arrive so
        // that answers are taken in without the interval's delay.
        link.port->WaitForInput(kPollIntervalMs);
        std::size_t waiting = link.port->BytesWaiting();
        if (waiting == 0)
            continue;
        std::size_t got = link.port->Read(link.readBuffer.data(), std::min(waiting, kReadChunk));
        for (std::size_t i = 0; i < got; ++i) {
            int outside = FeedReceivedByte(link.readBuffer[i]);
            if (outside < 0)
                continue;
            if (VantrelReceiveHandler handler = link.receiveHandler.load(std::memory_order_acquire))
                handler(static_cast<std::uint8_t>(outside));
        }
    }
}

}  // namespace

}  // namespace vantrel

using namespace vantrel;

extern "C" {

VANTREL_API int32_t VANTREL_CALL OpenSerialCommunication(uint16_t port, uint32_t baud)
{
    if (port < 1 || port > 4)
        return 0;
    if (baud != 9600 && baud != 19200 && baud != 38400 && baud != 57600)
        return 0;
    LinkState &link = Link();
    if (link.port)
        return 0;

    link.port = OpenSerialDevice(SerialDevicePath(port), baud);
    if (!link.port)
        return 0;

    link.stopRequest.store(false, std::memory_order_release);
    try {
        link.receiveThread = std::thread(ReceiveLoop);
    } catch (...) {
        link.port.reset();
        return 0;
    }
    link.open.store(true, std::memory_order_release);
    return 1;
}

VANTREL_API void VANTREL_CALL CloseSerialCommunication(void)
{
    LinkState &link = Link();
    if (link.receiveThread.joinable()) {
        // The receive thread only ever waits one poll interval for input or
        // reads what is already buffered, so it sees the stop request within
        // about 10 ms (plus the time a receive handler takes) and the join
        // cannot hang. There is no safe way to kill a thread, so none is tried.
        link.stopRequest.store(true, std::memory_order_release);
        link.receiveThread.join();
    }
    link.port.reset();
    link.open.store(false, std::memory_order_release);
}

VANTREL_API void VANTREL_CALL SerialSendBuffer(const uint8_t *bytes, uint32_t count)
{
    if (!IsLinkOpen() || bytes == nullptr)
        return;
    Link().port->Write(bytes, count & 0xFFFF);
}

VANTREL_API VantrelReceiveHandler VANTREL_CALL SetSerialReceiveHandler(VantrelReceiveHandler handler)
{
    Link().receiveHandler.store(handler, std::memory_order_release);
    return handler;
}

}  // extern "C"
