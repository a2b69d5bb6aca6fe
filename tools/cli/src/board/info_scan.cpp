// info and scan: what a board says about itself, and which addresses answer.
#include "board_commands.h"

#include "board/link_session.h"
#include "json_form.h"
#include "tolvane/data_lists.h"
#include "tolvane/typed_numbers.h"
#include "vantrel.h"

namespace cli {

// ---------------------------------------------------------------------------
// info
// ---------------------------------------------------------------------------

int CmdInfo(const BoardTarget& t, Output& o) {
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    uint8_t v1 = 0, v2 = 0;
    if (Vantrel_Version(t.address, &v1, &v2) < 0) return TransferFailed(t, o, "reading the version", -1);
    const int current = Vantrel_CurrentPanel(t.address);
    if (current < 0) return TransferFailed(t, o, "reading the current panel", -1);
    Json panels = Json::array();
    for (int slot = 0; slot < 4; ++slot) {
        PanelInfoRecord info{};
        if (Vantrel_PanelInfo(t.address, slot, &info) < 0)
            return TransferFailed(t, o, "reading the information on Panel " + std::to_string(slot + 1), -1);
        std::size_t len = 0;
        while (len < 16 && info.name[len] != '\0') ++len;
        Json p;
        p["panel"] = slot + 1;
        p["name"] = std::string(info.name, len);
        p["manufacturer"] = uint8_t{info.byte1};
        p["manufacturerText"] = ListText(kManufacturers, kManufacturerCount, uint8_t{info.byte1});
        p["hResolution"] = int32_t{info.word1};
        p["vResolution"] = int32_t{info.word2};
        p["maxDisplayClock10kHz"] = int32_t{info.word3};
        p["colorDepth"] = uint8_t{info.byte2};
        p["panelFlagsHigh"] = uint8_t{info.byte3};
        panels.push_back(p);
    }
    ModeInfoRecord mode{};
    if (Vantrel_ModeInfo(t.address, &mode) < 0) return TransferFailed(t, o, "reading the mode information", -1);

    Json j;
    j["address"] = t.address;
    j["port"] = Effective(t).port;
    j["device"] = DevicePathOfPort(Effective(t).port);
    j["version"] = {v1, v2};
    j["currentPanel"] = current + 1;
    j["panels"] = panels;
    Json m;
    m["hFreq"] = int32_t{mode.word1};
    m["vFreq"] = int32_t{mode.word2};
    m["activeWidth"] = int32_t{mode.word3};
    m["activeHeight"] = int32_t{mode.word4};
    m["index"] = uint8_t{mode.byte1};
    m["modeFlags"] = uint8_t{mode.byte2};
    j["currentMode"] = m;
    if (o.json) {
        o.out << j.dump(2) << "\n";
        return 0;
    }
    o.out << "Board at device address " << t.address << " on COM" << Effective(t).port << " ("
          << DevicePathOfPort(Effective(t).port) << ")\n";
    o.out << "  Version               " << unsigned{v1} << "." << unsigned{v2} << "\n";
    o.out << "  Current panel         Panel " << current + 1 << "\n";
    for (const Json& p : panels) {
        const Json& text = p["manufacturerText"];
        o.out << "  Panel " << p["panel"].get<int>() << "               \"" << p["name"].get<std::string>() << "\", "
              << (text.is_string() ? text.get<std::string>() : "manufacturer " + p["manufacturer"].dump()) << ", "
              << p["hResolution"].get<int>() << " x " << p["vResolution"].get<int>() << ", max. clock "
              << FormatScaled(p["maxDisplayClock10kHz"].get<int64_t>(), 2) << " MHz, colour depth "
              << p["colorDepth"].get<int>() << ", flags " << Hex2(p["panelFlagsHigh"].get<unsigned>()) << "\n";
    }
    if (uint8_t{mode.byte1} == 0xFF)
        o.out << "  Current mode          none\n";
    else
        o.out << "  Current mode          entry " << unsigned{uint8_t{mode.byte1}} << ": " << int32_t{mode.word3} << " x " << int32_t{mode.word4}
              << ", " << FormatScaled(int32_t{mode.word1}, 1) << " kHz, " << FormatScaled(int32_t{mode.word2}, 1) << " Hz, flags "
              << Hex2(uint8_t{mode.byte2}) << "\n";
    return 0;
}

int CmdScan(const BoardTarget& t, int probeMs, Output& o) {
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    constexpr int kLastAddress = 254;   // 255 is the broadcast
    if (o.progress) {
        g_progress.err = &o.err;
        g_progress.label = "Scanning";
    }
    Json found = Json::array();
    for (int address = 0; address <= kLastAddress; ++address) {
        DrawBar(kLastAddress + 1, static_cast<unsigned>(address));
        uint8_t v1 = 0, v2 = 0;
        if (Vantrel_ProbeDevice(address, probeMs, &v1, &v2) != 0) continue;
        Json d;
        d["address"] = address;
        d["version"] = {v1, v2};
        const int current = Vantrel_CurrentPanel(address);
        if (current >= 0)
            d["currentPanel"] = current + 1;
        else
            d["currentPanel"] = nullptr;
        found.push_back(d);
    }
    if (g_progress.err != nullptr) {
        DrawBar(kLastAddress + 1, kLastAddress + 1);
        o.err << "\n" << std::flush;
        g_progress = {};
    }
    const BoardTarget e = Effective(t);
    if (o.json) {
        Json j;
        j["port"] = e.port;
        j["device"] = DevicePathOfPort(e.port);
        j["devices"] = found;
        o.out << j.dump(2) << "\n";
    } else {
        for (const Json& d : found) {
            o.out << "Device address " << d["address"].get<int>() << ": version " << d["version"][0].get<int>() << "."
                  << d["version"][1].get<int>() << ", current panel ";
            if (d["currentPanel"].is_null())
                o.out << "unknown (no answer)\n";
            else
                o.out << "Panel " << d["currentPanel"].get<int>() << "\n";
        }
    }
    if (found.empty()) {
        o.err << "tolvane2-cli: no board answered on COM" << e.port << " (" << DevicePathOfPort(e.port)
              << ") at device addresses 0..254\n";
        return 1;
    }
    if (!o.quiet && !o.json)
        o.err << found.size() << (found.size() == 1 ? " board" : " boards") << " found\n";
    return 0;
}

}  // namespace cli
