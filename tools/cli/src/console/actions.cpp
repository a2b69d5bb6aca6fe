// action, debug, reset and raw: running a board action, setting its debug
// flags, resetting it, and bytes on the line outside the command protocol.
#include <chrono>
#include <mutex>
#include <thread>

#include "board/link_session.h"
#include "console/console_commands.h"
#include "vantrel.h"

namespace cli::console {

int CmdAction(const BoardTarget& t, const std::string& actionText, Output& o) {
    uint32_t action = 0;
    if (!ReadNumber(actionText, "action", 0xFF, action, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    const int32_t rc = Vantrel_CallAction(t.address, static_cast<int32_t>(action));
    if (rc < 0) return TransferFailed(t, o, "running action " + std::to_string(action), rc);
    if (o.json) o.WriteJson(Json{{"action", action}, {"ok", true}});
    else o.Note() << "action " << action << " done";
    return 0;
}

int CmdDebug(const BoardTarget& t, const std::string& flagsText, Output& o) {
    uint32_t flags = 0;
    if (!ReadNumber(flagsText, "debug flags", 0xFF, flags, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    const int32_t rc = Vantrel_DebugFlags(t.address, static_cast<int32_t>(flags));
    if (rc < 0) return TransferFailed(t, o, "setting the debug flags", rc);
    if (o.json) o.WriteJson(Json{{"debugFlags", flags}, {"ok", true}});
    else o.Note() << "debug flags := " << Hex(flags, 2);
    return 0;
}

// The reset awaits no answer, so it may go to every board at once (255).
int CmdReset(const BoardTarget& t, Output& o) {
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    if (Vantrel_Reset(t.address) != 1) return TransferFailed(t, o, "sending the reset", -1);
    if (o.json) o.WriteJson(Json{{"reset", t.address}, {"sent", true}});
    else
        o.Note() << "reset sent to "
                 << (t.address == 255 ? std::string("every board (255)")
                                      : "device address " + std::to_string(t.address))
                 << "; no answer is awaited";
    return 0;
}

// ---------------------------------------------------------------------------
// raw: bytes outside the command protocol, and what comes back outside frames
// ---------------------------------------------------------------------------

namespace {

std::mutex g_rawMutex;
Bytes g_rawReceived;

void VANTREL_CALL OnRawByte(uint8_t byte) {
    std::lock_guard lock(g_rawMutex);
    if (g_rawReceived.size() < 65536) g_rawReceived.push_back(byte);
}

}  // namespace

int CmdRaw(const BoardTarget& t, const std::vector<std::string>& byteTexts, const std::string& listenText, Output& o) {
    Bytes bytes;
    for (const auto& text : byteTexts) {
        uint32_t b = 0;
        if (!ReadNumber(text, "byte", 0xFF, b, o)) return 2;
        bytes.push_back(static_cast<uint8_t>(b));
    }
    uint32_t listenMs = 200;
    if (!listenText.empty() && !ReadNumber(listenText, "--listen", 60000, listenMs, o)) return 2;
    {
        std::lock_guard lock(g_rawMutex);
        g_rawReceived.clear();
    }
    SetSerialReceiveHandler(&OnRawByte);
    Bytes received;
    {
        Link link(t);
        if (!link.IsOpen()) {
            SetSerialReceiveHandler(nullptr);
            return PortFailed(t, o);
        }
        SerialSendBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()));
        std::this_thread::sleep_for(std::chrono::milliseconds(listenMs));
    }  // closed: the receive thread has stopped calling the handler
    SetSerialReceiveHandler(nullptr);
    {
        std::lock_guard lock(g_rawMutex);
        received.swap(g_rawReceived);
    }
    std::string hex;
    for (uint8_t b : received) hex += (hex.empty() ? "" : " ") + HexByte(b);
    if (o.json) o.WriteJson(Json{{"sent", bytes}, {"received", received}});
    else if (!received.empty()) o.out << hex << "\n";
    if (!o.json)
        o.Note() << Plural(bytes.size(), "byte", "bytes") << " sent; " << Plural(received.size(), "byte", "bytes")
                 << " received outside frames in " << listenMs << " ms";
    return 0;
}

}  // namespace cli::console
