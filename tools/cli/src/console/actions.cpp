// action, debug and reset: running a board action, setting its debug flags,
// resetting it.
#include "board/link_session.h"
#include "console/console_commands.h"
#include "vantrel.h"

namespace cli::console {

int CmdAction(const BoardTarget& t, const std::string& actionText, Output& o) {
    uint32_t action = 0;
    if (!ReadNumber(actionText, "action", 0xFF, action, o)) return 2;
    if (RefuseBroadcast(t, o, "action")) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    const int32_t rc = Vantrel_CallAction(t.address, static_cast<int32_t>(action));
    if (rc < 0) return TransferFailed(t, o, "running action " + std::to_string(action), rc);
    if (o.json) o.out << Json{{"action", action}, {"ok", true}}.dump(2) << "\n";
    else if (!o.quiet) o.err << "action " << action << " done\n";
    return 0;
}

int CmdDebug(const BoardTarget& t, const std::string& flagsText, Output& o) {
    uint32_t flags = 0;
    if (!ReadNumber(flagsText, "debug flags", 0xFF, flags, o)) return 2;
    if (RefuseBroadcast(t, o, "debug")) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    const int32_t rc = Vantrel_DebugFlags(t.address, static_cast<int32_t>(flags));
    if (rc < 0) return TransferFailed(t, o, "setting the debug flags", rc);
    if (o.json) o.out << Json{{"debugFlags", flags}, {"ok", true}}.dump(2) << "\n";
    else if (!o.quiet) o.err << "debug flags := " << Hex(flags, 2) << "\n";
    return 0;
}

// The reset awaits no answer, so it may go to every board at once (255).
int CmdReset(const BoardTarget& t, Output& o) {
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    if (Vantrel_Reset(t.address) != 1) return TransferFailed(t, o, "sending the reset", -1);
    if (o.json) o.out << Json{{"reset", t.address}, {"sent", true}}.dump(2) << "\n";
    else if (!o.quiet)
        o.err << "reset sent to " << (t.address == 255 ? std::string("every board (255)") : "device address " + std::to_string(t.address))
              << "; no answer is awaited\n";
    return 0;
}

}  // namespace cli::console
