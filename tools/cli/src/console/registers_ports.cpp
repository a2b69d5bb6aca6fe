// reg and port: the controller's 16-bit registers and its 8-bit ports.
#include "board/link_session.h"
#include "console/console_commands.h"
#include "vantrel.h"

namespace cli::console {
namespace {

std::string Both(unsigned v, int digits) { return Hex(v, digits) + " (" + std::to_string(v) + ")"; }

}  // namespace

int CmdRegRead(const BoardTarget& t, const std::string& regText, const std::string& countText, Output& o) {
    uint32_t reg = 0, count = 1;
    if (!ReadNumber(regText, "register", 0xFFFF, reg, o)) return 2;
    if (!countText.empty() && !ReadNumber(countText, "count", 0x10000, count, o)) return 2;
    if (count == 0 || reg + count > 0x10000) {
        o.Error() << "count " << count << " from register " << Hex(reg, 4)
                  << " must be at least 1 and end at register 0xFFFF";
        return 2;
    }
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    Json list = Json::array();
    for (uint32_t r = reg; r < reg + count; ++r) {
        const int32_t v = Vantrel_ReadRegister(t.address, static_cast<int32_t>(r));
        if (v < 0) return TransferFailed(t, o, "reading register " + Hex(r, 4), v);
        const auto value = static_cast<unsigned>(v);
        if (o.json) list.push_back({{"register", r}, {"value", value}, {"hex", Hex(value, 4)}});
        else o.out << Hex(r, 4) << ": " << Both(value, 4) << "\n";
    }
    if (o.json) o.WriteJson(Json{{"registers", list}});
    return 0;
}

int CmdRegWrite(const BoardTarget& t, const std::string& regText, const std::vector<std::string>& values, Output& o) {
    uint32_t reg = 0;
    if (!ReadNumber(regText, "register", 0xFFFF, reg, o)) return 2;
    std::vector<uint32_t> v(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!ReadNumber(values[i], "register value", 0xFFFF, v[i], o)) return 2;
    if (v.empty() || reg + v.size() > 0x10000) {
        o.Error() << "give one value for each register from " << Hex(reg, 4) << " on, up to register 0xFFFF";
        return 2;
    }
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    Json list = Json::array();
    int rc = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const uint32_t r = reg + static_cast<uint32_t>(i);
        const int32_t echo = Vantrel_WriteRegister(t.address, static_cast<int32_t>(r), static_cast<int32_t>(v[i]));
        if (echo < 0) return TransferFailed(t, o, "writing register " + Hex(r, 4), echo);
        const bool same = static_cast<uint32_t>(echo) == v[i];
        if (!same) {
            o.Error() << "register " << Hex(r, 4) << ": wrote " << Both(v[i], 4) << ", the board echoed "
                      << Both(static_cast<unsigned>(echo), 4);
            rc = 1;
        }
        list.push_back({{"register", r}, {"wrote", v[i]}, {"echo", echo}, {"ok", same}});
        if (!o.json && same) o.Note() << "register " << Hex(r, 4) << " := " << Both(v[i], 4);
    }
    if (o.json) o.WriteJson(Json{{"registers", list}});
    return rc;
}

int CmdPortRead(const BoardTarget& t, const std::string& portText, Output& o) {
    uint32_t port = 0;
    if (!ReadNumber(portText, "port", 0xFF, port, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    const int32_t v = Vantrel_ReadPort(t.address, static_cast<int32_t>(port));
    if (v < 0) return TransferFailed(t, o, "reading port " + Hex(port, 2), v);
    const auto value = static_cast<unsigned>(v);
    if (o.json) o.WriteJson(Json{{"port", port}, {"value", value}, {"hex", Hex(value, 2)}});
    else o.out << Hex(port, 2) << ": " << Both(value, 2) << "\n";
    return 0;
}

int CmdPortWrite(const BoardTarget& t, const std::string& portText, const std::string& valueText, Output& o) {
    uint32_t port = 0, value = 0;
    if (!ReadNumber(portText, "port", 0xFF, port, o) || !ReadNumber(valueText, "port value", 0xFF, value, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    const int32_t echo = Vantrel_WritePort(t.address, static_cast<int32_t>(port), static_cast<int32_t>(value));
    if (echo < 0) return TransferFailed(t, o, "writing port " + Hex(port, 2), echo);
    const bool same = static_cast<uint32_t>(echo) == value;
    if (o.json) o.WriteJson(Json{{"port", port}, {"wrote", value}, {"echo", echo}, {"ok", same}});
    if (!same) {
        o.Error() << "port " << Hex(port, 2) << ": wrote " << Both(value, 2) << ", the board echoed "
                  << Both(static_cast<unsigned>(echo), 2);
        return 1;
    }
    if (!o.json) o.Note() << "port " << Hex(port, 2) << " := " << Both(value, 2);
    return 0;
}

}  // namespace cli::console
